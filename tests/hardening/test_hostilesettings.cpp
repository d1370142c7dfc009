#include "hardening.h"

#include <gtest/gtest.h>
#include <iostream>
#include <random>

#include <sys/stat.h>
#include <unistd.h>

#include "app/casefold.h"
#include "app/codepage936.h"
#include "app/inidocument.h"
#include "app/inifile.h"
#include "app/programfolder.h"
#include "app/settings.h"
#include "fakes/fakemessagebox.h"
#include "fakes/faultyfilesystem.h"
#include "platform/linux/linuxfilesystem.h"

namespace mellowby::hardening {
namespace {

using app::Settings;

constexpr const char* kSection = "Options";
const std::vector<std::string> kSavedKeys { "NoFileStr", "YesFileStr", "ifYesFile", "ifUseOption" };

bool isSavedKey(const std::string& key)
{
    return std::any_of(kSavedKeys.begin(), kSavedKeys.end(),
        [&](const std::string& saved) { return app::equalsIgnoringCase(saved, key); });
}

// Hand-edited and damaged settings files, from a fixed seed: sections and keys in any case and
// spacing, repeated, unclosed or empty, comments, CR LF, LF and stray CR mixed, a byte order
// mark, NUL bytes and binary noise.
class IniGenerator {
public:
    explicit IniGenerator(std::uint64_t seed)
        : m_random(seed)
    {
    }

    static const std::vector<std::string>& sections()
    {
        static const std::vector<std::string> names { "Options", "OPTIONS", "Other", "选项" };
        return names;
    }
    static const std::vector<std::string>& keys()
    {
        static const std::vector<std::string> names { "NoFileStr", "YesFileStr", "ifYesFile", "ifUseOption", "Extra",
            "nofilestr", "IFUSEOPTION", "中文键" };
        return names;
    }

    std::string next()
    {
        std::string text = pick(5) == 0 ? "\xEF\xBB\xBF" : "";
        const std::size_t lines = pick(30);
        for (std::size_t i = 0; i < lines; ++i) {
            text += line();
            if (i + 1 < lines || pick(3) != 0)
                text += lineEnd();
        }
        return text;
    }

private:
    std::size_t pick(std::size_t count) { return std::uniform_int_distribution<std::size_t>(0, count - 1)(m_random); }

    template <typename List> const auto& any(const List& list) { return list[pick(std::size(list))]; }

    std::string lineEnd()
    {
        static const std::string ends[] = { "\n", "\r\n", "\r\n", "\r\r\n", "\r" };
        return any(ends);
    }

    std::string line()
    {
        static const std::string values[]
            = { "GIF|JPG", "1", "0", " 1 ", "x=y", "", "值", "\xFF\xFE", "a;b", "[Options]", std::string("n\0ul", 4) };
        switch (pick(9)) {
        case 0:
        case 1: {
            static const std::string shapes[] = { "[S]", " [ S ] ", "\t[S]\t", "[S", "[S]]", "[S] ; note", "[]" };
            std::string shape = any(shapes);
            const auto at = shape.find('S');
            if (at != std::string::npos)
                shape.replace(at, 1, any(sections()));
            return shape;
        }
        case 2:
        case 3:
        case 4: {
            static const std::string shapes[] = { "K=V", " K = V ", "K\t=\tV", "K=", "K", "=V", ";K=V", "#K=V" };
            std::string shape = any(shapes);
            if (const auto at = shape.find('V'); at != std::string::npos)
                shape.replace(at, 1, any(values));
            if (const auto at = shape.find('K'); at != std::string::npos)
                shape.replace(at, 1, any(keys()));
            return shape;
        }
        case 5:
            return std::string(pick(4), pick(2) == 0 ? ' ' : '\t');
        default: {
            std::string noise(pick(40), '\0');
            for (auto& byte : noise) {
                do
                    byte = static_cast<char>(pick(256));
                while (byte == '\n');
            }
            return noise;
        }
        }
    }

    std::mt19937_64 m_random;
};

// A save may replace a part of one line and add lines, and nothing else: every other byte of the
// file stays where it was.
::testing::AssertionResult onlyOneLineEdited(const std::string& before, const std::string& after)
{
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix
        && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const std::string removed = before.substr(prefix, before.size() - prefix - suffix);
    if (removed.find('\n') == std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "bytes " << prefix << " to " << before.size() - suffix
                                         << " were replaced, across lines";
}

// Whether a save changed one line's text and nothing else besides what a save may change: a file
// that earlier versions wrote in UTF-8 goes over to code page 936, and a file whose code page
// bytes would be valid UTF-8 gets a comment first that says which it is in.
::testing::AssertionResult onlyOneLineOfTextEdited(const std::string& before, const std::string& after)
{
    const auto asText = [](const std::string& bytes) {
        // The byte order mark is skipped in either encoding.
        const std::string_view bom = "\xEF\xBB\xBF";
        const std::string body = bytes.starts_with(bom) ? bytes.substr(bom.size()) : bytes;
        return app::IniDocument(bytes).readsUtf8() ? body : app::Cp936Decoder::open()->decode(body);
    };
    const std::string textBefore = asText(before);
    std::string textAfter = asText(after);
    for (const std::string_view mark : { "; 编码：GBK\r\n", "; 编码：GBK\n" }) {
        if (textAfter.starts_with(mark) && !textBefore.starts_with("; 编码：GBK"))
            textAfter.erase(0, mark.size());
    }
    return onlyOneLineEdited(textBefore, textAfter);
}

class HostileSettings : public ::testing::Test {
protected:
    std::string ini() const { return m_folder / "option.ini"; }

    // The four values the generation dialog's save button writes; true when the file took all.
    bool save(const Settings& typed)
    {
        Settings inMemory { "\x01unset", "\x01unset", !typed.ifYesFile, !typed.ifUseOption };
        app::saveSettings(m_program, typed, inMemory, m_box);
        return inMemory == typed;
    }

    Settings load(bool expectSuccess = true)
    {
        Settings loaded { "unset", "unset", true, true };
        m_box.shown.clear();
        EXPECT_EQ(app::getIniSetting(m_program, loaded, m_box), expectSuccess);
        if (expectSuccess) {
            EXPECT_TRUE(m_box.shown.empty());
        }
        return loaded;
    }

    // When the settings cannot be read, start-up shows this box, then "Main"'s, and goes on with
    // the default lists; the settings it was given stay untouched until then.
    void expectUnreadable(int number, const std::string& description)
    {
        const Settings loaded = load(false);
        EXPECT_EQ(loaded, (Settings { "unset", "unset", true, true }));
        ASSERT_EQ(m_box.shown.size(), 1u);
        EXPECT_EQ(m_box.shown[0],
            (platform::MessageRequest {
                "读取配置文件时出错！(错误代号:" + std::to_string(number) + ")\r\n错误描述：" + description,
                "getIniSetting", platform::MessageIcon::Warning, platform::MessageButtons::Ok }));
        EXPECT_EQ(std::string(app::kDefaultFileTypes), "GIF|JPG|PCX|TIF|ICO");
    }

    TemporaryFolder m_folder;
    platform::LinuxFileSystem m_realFileSystem;
    fakes::FaultyFileSystem m_fileSystem { m_realFileSystem };
    app::ProgramFolder m_program { m_folder.path(), m_fileSystem };
    fakes::FakeMessageBox m_box;
};

// Damaged files still give their settings, and every save through the dialog's four calls
// changes exactly the value it stores: no other key, line or byte is lost.
TEST_F(HostileSettings, DamagedFilesLoadAndSavesLoseNothing)
{
    IniGenerator generator(19);
    std::mt19937 random(5);
    // Each save is flushed to disk, so the files here are fewer than the texts below.
    const std::size_t files = 80;
    const std::string typedValues[] = { "GIF|JPG|PCX", "天|地", "a b", "", "   ", "BMP" };
    for (std::size_t file = 0; file < files; ++file) {
        const std::string original = generator.next();
        writeFile(ini(), original);
        const Settings before = load();
        if (HasFailure())
            FAIL() << "file " << file;

        // Every other value the file holds, to be read again after the saves.
        std::vector<std::pair<std::pair<std::string, std::string>, std::string>> others;
        for (const auto& section : IniGenerator::sections()) {
            for (const auto& key : IniGenerator::keys()) {
                if (!app::equalsIgnoringCase(section, kSection) || !isSavedKey(key))
                    others.push_back({ { section, key }, app::getIniString(m_fileSystem, ini(), section, key) });
            }
        }

        const Settings typed { typedValues[random() % std::size(typedValues)],
            typedValues[random() % std::size(typedValues)], random() % 2 == 0, random() % 2 == 0 };
        std::string text = original;
        const auto check = [&](bool written, const char* key) {
            const std::string now = readFile(ini());
            EXPECT_TRUE(onlyOneLineOfTextEdited(text, now)) << "file " << file << ", " << key;
            if (!written) {
                EXPECT_EQ(now, text) << "file " << file << ", " << key;
            }
            text = now;
        };
        check(app::setIniString(m_fileSystem, ini(), kSection, "NoFileStr", typed.NoFileStr), "NoFileStr");
        check(app::setIniString(m_fileSystem, ini(), kSection, "YesFileStr", typed.YesFileStr), "YesFileStr");
        check(app::setIniBool(m_fileSystem, ini(), kSection, "ifYesFile", typed.ifYesFile), "ifYesFile");
        check(app::setIniBool(m_fileSystem, ini(), kSection, "ifUseOption", typed.ifUseOption), "ifUseOption");

        // A blank box keeps what was stored; the rest reads back as saved.
        const auto kept = [](const std::string& value, const std::string& old) {
            return value.find_first_not_of(" \t") == std::string::npos ? old : value;
        };
        EXPECT_EQ(load(),
            (Settings { kept(typed.NoFileStr, before.NoFileStr), kept(typed.YesFileStr, before.YesFileStr),
                typed.ifYesFile, typed.ifUseOption }))
            << "file " << file;
        for (const auto& [name, value] : others)
            EXPECT_EQ(app::getIniString(m_fileSystem, ini(), name.first, name.second), value)
                << "file " << file << ", [" << name.first << "] " << name.second;
        if (HasFailure())
            FAIL() << "file " << file << " was:\n" << original;
    }
    std::cout << "[ settings ] " << files << " damaged settings files loaded and saved\n";
}

// The same rule for many more texts, in memory: the reader and writer the routines above use.
TEST(DamagedSettingsTexts, EachValueReplacesItsOwnBytesOnly)
{
    IniGenerator generator(23);
    std::mt19937 random(8);
    const std::string typedValues[] = { "GIF|JPG|PCX", "天|地", "a b", "BMP", "0", "1" };
    const std::size_t texts = 5000;
    for (std::size_t i = 0; i < texts; ++i) {
        const std::string original = generator.next();
        app::IniDocument document(original);
        std::vector<std::pair<std::pair<std::string, std::string>, std::string>> others;
        for (const auto& section : IniGenerator::sections()) {
            for (const auto& key : IniGenerator::keys()) {
                if (!app::equalsIgnoringCase(section, kSection) || !isSavedKey(key))
                    others.push_back({ { section, key }, document.value(section, key) });
            }
        }
        std::string text = original;
        for (const auto& key : kSavedKeys) {
            const std::string& value = typedValues[random() % std::size(typedValues)];
            ASSERT_TRUE(document.setValue(kSection, key, value)) << i;
            ASSERT_TRUE(onlyOneLineOfTextEdited(text, document.text())) << i << ", " << key << " in:\n" << original;
            text = document.text();
            const app::IniDocument reread(text);
            ASSERT_EQ(reread.value(kSection, key), value) << i << ", " << key << " in:\n" << original;
        }
        const app::IniDocument reread(text);
        for (const auto& [name, value] : others)
            ASSERT_EQ(reread.value(name.first, name.second), value)
                << i << ", [" << name.first << "] " << name.second << " in:\n"
                << original;
    }
    std::cout << "[ settings ] " << texts << " damaged settings texts saved in memory\n";
}

TEST_F(HostileSettings, OneMegabyteLines)
{
    const std::string megabyte(1024 * 1024, 'm');
    const std::string cases[] = {
        "[Options]\n" + megabyte + "\nifYesFile=1\n", // a line of noise
        "[Options]\nNoFileStr=" + megabyte + "\nifYesFile=1\n", // a value
        "[Options]\n" + megabyte + "=x\nifYesFile=1\n", // a key
        "[" + megabyte + "]\nifYesFile=0\n[Options]\r\nifYesFile=1\r\n", // a section
        megabyte + "\r" + megabyte + "\n[Options]\nifYesFile=1", // no line end where one is expected
    };
    for (const auto& original : cases) {
        writeFile(ini(), original);
        const auto start = std::chrono::steady_clock::now();
        const Settings loaded = load();
        EXPECT_TRUE(loaded.ifYesFile);
        EXPECT_EQ(loaded.NoFileStr, original.starts_with("[Options]\nNoFileStr=") ? megabyte : "");
        ASSERT_TRUE(save({ "GIF", "JPG", false, true }));
        EXPECT_EQ(load(), (Settings { "GIF", "JPG", false, true }));
        const std::string after = readFile(ini());
        if (loaded.NoFileStr.empty()) {
            EXPECT_NE(after.find(megabyte), std::string::npos);
        }
        EXPECT_LT(after.size(), original.size() + 100);
        EXPECT_LT(secondsSince(start), 10.0);
    }
}

// A settings file that is no file, or cannot be read: start-up is told so, and a save never
// replaces it.
TEST_F(HostileSettings, UnreadableSettingsFiles)
{
    ASSERT_EQ(::mkfifo(ini().c_str(), 0644), 0);
    const auto release = [this] { releaseFifoReader(ini()); };
    EXPECT_TRUE(finishesWithin(
        std::chrono::seconds(10), [this] { expectUnreadable(EINVAL, "Invalid argument"); }, release));
    EXPECT_TRUE(finishesWithin(
        std::chrono::seconds(10),
        [this] {
            EXPECT_FALSE(save({ "GIF", "JPG", true, true }));
        },
        release));
    EXPECT_TRUE(std::filesystem::is_fifo(ini()));
    std::filesystem::remove(ini());

    std::filesystem::create_symlink("option.ini", ini());
    expectUnreadable(ELOOP, "Too many levels of symbolic links");
    EXPECT_FALSE(save({ "GIF", "JPG", true, true }));
    EXPECT_TRUE(std::filesystem::is_symlink(ini()));
    std::filesystem::remove(ini());

    // Far bigger than any settings file; sparse, so it costs no disk.
    writeFile(ini(), "[Options]\nifYesFile=1\n");
    std::filesystem::resize_file(ini(), 100ull * 1024 * 1024);
    expectUnreadable(EFBIG, "File too large");
    EXPECT_FALSE(save({ "GIF", "JPG", true, true }));
    EXPECT_EQ(std::filesystem::file_size(ini()), 100ull * 1024 * 1024);
}

// Permissions as an ordinary user meets them, in a child process that is no longer root: a file
// that cannot be read is reported and left alone; one that cannot be written, or that lies in a
// folder that cannot be written, keeps every byte.
TEST_F(HostileSettings, FilesAndFoldersWithoutPermission)
{
    const std::string original = "[Options]\r\nNoFileStr=BMP\r\nifYesFile=1\r\n; mine\r\n";
    writeFile(ini(), original);
    ASSERT_EQ(::chmod(m_folder.path().c_str(), 0777), 0);

    ASSERT_EQ(::chmod(ini().c_str(), 0), 0);
    EXPECT_EQ(runUnprivileged([this] {
        expectUnreadable(EACCES, "Permission denied");
        const bool saved = save({ "GIF", "JPG", true, true });
        return ::testing::Test::HasFailure() ? 1 : saved ? 2 : 0;
    }),
        0);

    ASSERT_EQ(::chmod(ini().c_str(), 0444), 0);
    EXPECT_EQ(runUnprivileged([this] {
        const Settings loaded = load();
        const bool saved = save({ "GIF", "JPG", false, true });
        return ::testing::Test::HasFailure() || loaded.NoFileStr != "BMP" ? 1 : saved ? 2 : 0;
    }),
        0);
    EXPECT_EQ(readFile(ini()), original);

    writeFile(ini(), original);
    ASSERT_EQ(::chmod(ini().c_str(), 0666), 0);
    ASSERT_EQ(::chmod(m_folder.path().c_str(), 0555), 0);
    EXPECT_EQ(runUnprivileged([this] { return save({ "GIF", "JPG", false, true }) ? 2 : 0; }), 0);
    ::chmod(m_folder.path().c_str(), 0755);
    EXPECT_EQ(readFile(ini()), original);
    EXPECT_EQ(folderNames(m_folder.path()), std::vector<std::string> { "option.ini" });
}

// A disk that fills up or fails while the settings are saved or read: the old file keeps every
// byte, nothing is left beside it, and a read that fails is reported as one.
TEST_F(HostileSettings, DiskFullOrFailingKeepsTheOldFile)
{
    const std::string original = "[Options]\r\nNoFileStr=BMP\r\n; mine\r\n";
    writeFile(ini(), original);
    m_fileSystem.failWritesAfter(10, platform::errorFromErrno(ENOSPC));
    EXPECT_FALSE(save({ "GIF", "JPG", true, true }));
    EXPECT_EQ(readFile(ini()), original);
    EXPECT_EQ(folderNames(m_folder.path()), std::vector<std::string> { "option.ini" });

    m_fileSystem.failReads("option.ini", platform::errorFromErrno(EIO));
    expectUnreadable(EIO, "Input/output error");
    EXPECT_FALSE(save({ "GIF", "JPG", true, true }));
    EXPECT_EQ(readFile(ini()), original);
    ++tally().faults;
}

} // namespace
} // namespace mellowby::hardening
