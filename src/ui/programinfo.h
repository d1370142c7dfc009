#pragma once

#include <QString>

namespace mellowby::ui {

// major.minor.revision. CMake's project(VERSION) is the only place it is set, so every window
// that shows it agrees with the build.
inline constexpr char kProgramVersion[] = MELLOWBY_VERSION;

// What the program is for, as the splash screen and the About box say it.
inline constexpr char kProgramDescription[] = "Mellowby器，主要用于将光盘的所有文件索引，方便日后附需要时进行查找。也可"
                                              "用于将硬盘上的某个磁盘或某个目录下的文件进行"
                                              "索引，以便查找。";

// The project's web address, opened from the About box. A placeholder of our own until the
// project has a page.
inline constexpr char kProjectWebAddress[] = "https://mellowby.example.org/";

// "版本 1.0.2": the version line of the splash screen and the About box.
inline QString versionLine()
{
    return QStringLiteral("版本 ") + QString::fromUtf8(kProgramVersion);
}

} // namespace mellowby::ui
