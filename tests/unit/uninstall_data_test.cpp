#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "util/file_names.h"
#include "util/uninstall_data.h"

namespace {

struct Parsed {
    bool ok;
    UninstallData data;
    std::vector<std::string> files;
    std::string buffer;  // keeps the names alive
};

Parsed Parse(const std::string& text) {
    Parsed parsed;
    parsed.buffer = text;
    parsed.ok = ParseUninstallData(&parsed.buffer[0], static_cast<uint32_t>(parsed.buffer.size()), &parsed.data);
    const char* name = parsed.data.files;
    for (int i = 0; parsed.ok && i < parsed.data.fileCount; ++i) {
        parsed.files.push_back(name);
        name += parsed.files.back().size() + 1;
    }
    return parsed;
}

TEST(UninstallData, FieldsAndFiles) {
    Parsed p = Parse("ID=DP\r\nGroup=Demo Product\r\nClass=TallgroveDemoWindow\r\nExe=TGDEMO.EXE\r\n"
                     "File=FILE_ID.DIZ\r\nFile=DEMO_DE.LNG\r\nFile=TGDEMO.EXE\r\n");
    ASSERT_TRUE(p.ok);
    EXPECT_STREQ(p.data.productId, "DP");
    EXPECT_STREQ(p.data.group, "Demo Product");
    EXPECT_STREQ(p.data.windowClass, "TallgroveDemoWindow");
    EXPECT_STREQ(p.data.exeName, "TGDEMO.EXE");
    EXPECT_EQ(p.files, (std::vector<std::string>{"FILE_ID.DIZ", "DEMO_DE.LNG", "TGDEMO.EXE"}));
}

TEST(UninstallData, PlainLineEndsAndUnknownKeys) {
    Parsed p = Parse("Future=1\nGroup=G\nFile=a.txt\nFile=b.txt");  // no line end after the last line
    ASSERT_TRUE(p.ok);
    EXPECT_STREQ(p.data.group, "G");
    EXPECT_EQ(p.files, (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST(UninstallData, NamesThatCouldReachOutsideTheFolderAreLeftOut) {
    // The list is data read from a file: it must never make the uninstaller
    // delete anything but a plain file in its own folder.
    Parsed p = Parse("Group=G\nFile=..\nFile=..\\..\\Windows\\system.ini\nFile=C:\\boot.ini\nFile=sub/x.txt\n"
                     "File=CON\nFile=a:stream\nFile=INSTALL.INF\nFile=\nFile=good.txt\n");
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.files, (std::vector<std::string>{"good.txt"}));
}

TEST(UninstallData, MalformedTextIsRefused) {
    EXPECT_FALSE(Parse("").ok);
    EXPECT_FALSE(Parse("\r\n\r\n").ok);
    EXPECT_FALSE(Parse("just text\n").ok);
    EXPECT_FALSE(Parse(std::string("Group=a\0b\n", 10)).ok);
    EXPECT_FALSE(Parse("ID=ABCD\n").ok);                    // longer than the setup's 3 characters
    EXPECT_FALSE(Parse("Group=" + std::string(32, 'g')).ok);  // longer than the group buffer
    EXPECT_TRUE(Parse("Group=" + std::string(31, 'g')).ok);
}

TEST(UninstallData, TrailerAnnouncesTheTextLength) {
    std::string trailer = std::string("\x05\x00\x00\x00", 4) + kUninstallDataMagic;
    ASSERT_EQ(trailer.size(), static_cast<size_t>(kUninstallTrailerSize));
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(trailer.data());
    EXPECT_EQ(UninstallDataLength(bytes, 100), 5u);
    EXPECT_EQ(UninstallDataLength(bytes, 17), 5u);  // exactly the text and the trailer
    EXPECT_EQ(UninstallDataLength(bytes, 16), 0u);  // announces more than the file holds
    EXPECT_EQ(UninstallDataLength(bytes, 4), 0u);
    std::string wrongMagic = trailer;
    wrongMagic[11] ^= 1;
    EXPECT_EQ(UninstallDataLength(reinterpret_cast<const uint8_t*>(wrongMagic.data()), 100), 0u);
    std::string empty = std::string(4, '\0') + kUninstallDataMagic;
    EXPECT_EQ(UninstallDataLength(reinterpret_cast<const uint8_t*>(empty.data()), 100), 0u);
    std::string huge = std::string("\xff\xff\xff\x7f", 4) + kUninstallDataMagic;
    EXPECT_EQ(UninstallDataLength(reinterpret_cast<const uint8_t*>(huge.data()), 0xFFFFFFFFull), 0u);
}

TEST(InstalledFileName, FlattensAndLeavesOutWhatTheSetupNeverInstalls) {
    EXPECT_STREQ(InstalledFileName("help\\DEMO_DE.TXT"), "DEMO_DE.TXT");
    EXPECT_STREQ(InstalledFileName("samples/SAMPLE1.TXT"), "SAMPLE1.TXT");
    EXPECT_STREQ(InstalledFileName("UnInst.exe"), "UnInst.exe");
    EXPECT_STREQ(InstalledFileName("A.INFO"), "A.INFO");
    EXPECT_STREQ(InstalledFileName(".INF"), ".INF");  // no longer than the extension: installed
    EXPECT_EQ(InstalledFileName("INSTALL.INF"), nullptr);
    EXPECT_EQ(InstalledFileName("sub\\setup.inf"), nullptr);
    EXPECT_EQ(InstalledFileName("sub\\"), nullptr);
    EXPECT_EQ(InstalledFileName("..\\.."), nullptr);
    EXPECT_EQ(InstalledFileName("x\\NUL.TXT"), nullptr);
    EXPECT_EQ(InstalledFileName(nullptr), nullptr);
}

}  // namespace
