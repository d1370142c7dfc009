# One interface target carries the language level, the warnings and the sanitizer flags;
# every layer links it so no target can drift from the others.
add_library(mellowby_common_cfg INTERFACE)
target_compile_features(mellowby_common_cfg INTERFACE cxx_std_23)
target_compile_options(mellowby_common_cfg INTERFACE
  -Wall -Wextra -Wpedantic -Wcast-qual -Wcast-align -Woverloaded-virtual
  -Wold-style-cast -Wnon-virtual-dtor -Wshadow -Wconversion -Wno-sign-conversion)
if(MELLOWBY_WERROR)
  target_compile_options(mellowby_common_cfg INTERFACE -Werror)
endif()
if(MELLOWBY_SANITIZE)
  target_compile_options(mellowby_common_cfg INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(mellowby_common_cfg INTERFACE -fsanitize=address,undefined)
endif()
