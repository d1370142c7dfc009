# One interface target carries the language level, the warnings and the sanitizer flags;
# every layer links it so no target can drift from the others.
add_library(mellowby_common_cfg INTERFACE)
target_compile_features(mellowby_common_cfg INTERFACE cxx_std_23)
target_compile_options(mellowby_common_cfg INTERFACE
  -Wall -Wextra -Wpedantic -Wcast-qual -Wcast-align -Woverloaded-virtual
  -Wold-style-cast -Wnon-virtual-dtor -Wshadow -Wconversion -Wno-sign-conversion)
# GCC 12 reports std::string members of aggregates as "maybe uninitialized" at -O3 where they
# are not (a known false positive of that release), so the warning would only break optimised builds.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(mellowby_common_cfg INTERFACE -Wno-maybe-uninitialized)
endif()
if(MELLOWBY_WERROR)
  target_compile_options(mellowby_common_cfg INTERFACE -Werror)
endif()
if(MELLOWBY_SANITIZE)
  target_compile_options(mellowby_common_cfg INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(mellowby_common_cfg INTERFACE -fsanitize=address,undefined)
endif()
