#include <gtest/gtest.h>

#include "util/file_names.h"

namespace {

TEST(FileNames, DeviceNames) {
    for (const char* device : {"CON", "con", "Nul", "AUX.txt", "PRN.tar.gz", "COM1", "lpt9.log", "CONIN$", "CON .x",
                               "COM\xB9"}) {
        EXPECT_TRUE(IsReservedDeviceName(device)) << device;
    }
    for (const char* name : {"CONSOLE", "COM0", "COM10", "LPT", "NULL.txt", "xCON", "con_fig", "AUX1"}) {
        EXPECT_FALSE(IsReservedDeviceName(name)) << name;
    }
}

TEST(FileNames, SafeNamesPass) {
    for (const char* name : {"LICENSE.TXT", "UnInst.exe", "a", ".profile", "name with blanks.txt", "Fran\xE7" "ais.lng"}) {
        EXPECT_EQ(UnsafeFileNameReason(name), nullptr) << name;
    }
}

TEST(FileNames, UnsafeNamesAreRefused) {
    for (const char* name : {"", ".", "..", "C:x", "a:stream", "a\\b", "a/b", "trailing.", "blank ", "q?", "s*", "p|q",
                             "<x>", "quote\"", "tab\t", "NUL", "com3.txt"}) {
        EXPECT_NE(UnsafeFileNameReason(name), nullptr) << name;
    }
    EXPECT_NE(UnsafeFileNameReason(nullptr), nullptr);
}

}  // namespace

TEST(FileNames, EscapingNamesAreOnlyThoseThatLeaveTheFolder) {
    for (const char* name : {"", ".", "..", "C:x", "a:b", "CON", "nul.txt", "LPT1", "a\\b", "a/b"}) {
        EXPECT_TRUE(IsEscapingFileName(name)) << name;
    }
    // Invalid on Windows, but they cannot leave the folder: the installer
    // lets them fail at creation instead of leaving them out.
    for (const char* name : {"a*b", "what?", "pipe|x", "trailing.", "blank ", "readme.txt", "...x"}) {
        EXPECT_FALSE(IsEscapingFileName(name)) << name;
    }
}
