// Reads the resource section of the shipped (i686) Setup.exe: dialog 1000,
// icon group 1 with its five images, and manifest 1. The test script builds
// the win32 preset first; SOLIDSETUP_SETUP_EXE may name another file.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

typedef std::vector<uint8_t> Bytes;

uint16_t U16(const Bytes& b, size_t at) {
    if (at + 2 > b.size()) throw std::out_of_range("u16");
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
uint32_t U32(const Bytes& b, size_t at) {
    return U16(b, at) | (static_cast<uint32_t>(U16(b, at + 2)) << 16);
}

std::string SetupPath() {
    const char* chosen = std::getenv("SOLIDSETUP_SETUP_EXE");
    if (chosen != nullptr && chosen[0] != 0) return chosen;
    return std::string(SOLIDSETUP_SOURCE_DIR) + "/build/win32/Setup.exe";
}

// The parts of a PE image that the resource lookup needs.
struct Image {
    Bytes file;
    uint16_t machine = 0;
    uint16_t subsystem = 0;
    uint32_t resourceRva = 0;
    struct Section {
        uint32_t rva, size, fileOffset;
    };
    std::vector<Section> sections;

    size_t Offset(uint32_t rva) const {
        for (const Section& s : sections) {
            if (rva >= s.rva && rva < s.rva + s.size) return rva - s.rva + s.fileOffset;
        }
        throw std::out_of_range("rva outside every section");
    }

    // The data of resource (type, id), first language; empty when absent.
    Bytes Find(uint16_t type, uint16_t id) const {
        size_t root = Offset(resourceRva);
        uint32_t typeDir = Entry(root, root, type);
        if (typeDir == 0) return Bytes();
        uint32_t idDir = Entry(root, root + (typeDir & 0x7FFFFFFF), id);
        if (idDir == 0 || !(idDir & 0x80000000)) return Bytes();
        size_t languages = root + (idDir & 0x7FFFFFFF);
        if (U16(file, languages + 12) + U16(file, languages + 14) == 0) return Bytes();
        uint32_t leaf = U32(file, languages + 16 + 4);
        size_t data = root + (leaf & 0x7FFFFFFF);
        size_t at = Offset(U32(file, data));
        uint32_t size = U32(file, data + 4);
        if (at + size > file.size()) throw std::out_of_range("resource data");
        return Bytes(file.begin() + static_cast<long>(at), file.begin() + static_cast<long>(at + size));
    }

    // The entry of a directory with the numeric id, or 0.
    uint32_t Entry(size_t, size_t directory, uint16_t id) const {
        int named = U16(file, directory + 12);
        int numbered = U16(file, directory + 14);
        for (int i = 0; i < named + numbered; ++i) {
            size_t entry = directory + 16 + 8 * static_cast<size_t>(i);
            uint32_t name = U32(file, entry);
            if (!(name & 0x80000000) && name == id) return U32(file, entry + 4);
        }
        return 0;
    }
};

bool LoadImage(const std::string& path, Image* image) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    image->file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const Bytes& f = image->file;
    size_t pe = U32(f, 0x3C);
    if (U32(f, pe) != 0x00004550) throw std::runtime_error("no PE signature");
    image->machine = U16(f, pe + 4);
    int sectionCount = U16(f, pe + 6);
    size_t optional = pe + 24;
    uint16_t magic = U16(f, optional);
    image->subsystem = U16(f, optional + 68);
    size_t directories = optional + (magic == 0x20B ? 112 : 96);
    image->resourceRva = U32(f, directories + 2 * 8);
    size_t sections = optional + U16(f, pe + 20);
    for (int i = 0; i < sectionCount; ++i) {
        size_t s = sections + 40 * static_cast<size_t>(i);
        uint32_t virtualSize = U32(f, s + 8), rawSize = U32(f, s + 16);
        image->sections.push_back({U32(f, s + 12), virtualSize > rawSize ? virtualSize : rawSize, U32(f, s + 20)});
    }
    return true;
}

// A name-or-ordinal field of a dialog template: "#n" for an ordinal.
std::string ReadSzOrOrd(const Bytes& b, size_t* at) {
    uint16_t first = U16(b, *at);
    if (first == 0xFFFF) {
        uint16_t ordinal = U16(b, *at + 2);
        *at += 4;
        return "#" + std::to_string(ordinal);
    }
    std::string text;
    for (uint16_t c; (c = U16(b, *at)) != 0; *at += 2) text += static_cast<char>(c);
    *at += 2;
    return text;
}

struct ControlTemplate {
    uint32_t style, exStyle;
    int16_t x, y, cx, cy;
    uint16_t id;
    std::string className, text;
};

class SetupResources : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = SetupPath();
        if (!LoadImage(path_, &image_)) GTEST_SKIP() << "no " << path_ << ": build the win32 preset first";
    }
    std::string path_;
    Image image_;
};

TEST_F(SetupResources, IsA32BitWindowsProgram) {
    EXPECT_EQ(image_.machine, 0x14C) << "i386";
    EXPECT_EQ(image_.subsystem, 2) << "Windows GUI";
    EXPECT_NE(image_.resourceRva, 0u);
}

TEST_F(SetupResources, DialogTemplate1000) {
    Bytes d = image_.Find(5, 1000);
    ASSERT_FALSE(d.empty()) << "no dialog 1000";
    EXPECT_EQ(U32(d, 0), 0x80C800C0u);
    EXPECT_EQ(U32(d, 4), 0u);
    uint16_t count = U16(d, 8);
    EXPECT_EQ(static_cast<int16_t>(U16(d, 10)), 0);
    EXPECT_EQ(static_cast<int16_t>(U16(d, 12)), 0);
    EXPECT_EQ(U16(d, 14), 330);
    EXPECT_EQ(U16(d, 16), 200);
    size_t at = 18;
    EXPECT_EQ(ReadSzOrOrd(d, &at), "") << "menu";
    EXPECT_EQ(ReadSzOrOrd(d, &at), "") << "class";
    EXPECT_EQ(ReadSzOrOrd(d, &at), "") << "caption";
    EXPECT_EQ(U16(d, at), 8) << "point size";
    at += 2;
    EXPECT_EQ(ReadSzOrOrd(d, &at), "MS Sans Serif");

    std::vector<ControlTemplate> controls;
    for (int i = 0; i < count; ++i) {
        at = (at + 3) & ~static_cast<size_t>(3);
        ControlTemplate c;
        c.style = U32(d, at);
        c.exStyle = U32(d, at + 4);
        c.x = static_cast<int16_t>(U16(d, at + 8));
        c.y = static_cast<int16_t>(U16(d, at + 10));
        c.cx = static_cast<int16_t>(U16(d, at + 12));
        c.cy = static_cast<int16_t>(U16(d, at + 14));
        c.id = U16(d, at + 16);
        at += 18;
        c.className = ReadSzOrOrd(d, &at);
        c.text = ReadSzOrOrd(d, &at);
        at += 2 + U16(d, at);
        controls.push_back(c);
    }
    // Predefined classes may be stored as their atoms.
    auto sameClass = [](const std::string& stored, const char* name, const char* atom) {
        std::string upper;
        for (char ch : stored) upper += static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 32 : ch);
        std::string wanted;
        for (const char* p = name; *p; ++p) wanted += static_cast<char>(*p >= 'a' && *p <= 'z' ? *p - 32 : *p);
        return upper == wanted || stored == atom;
    };
    struct Expected {
        uint16_t id;
        const char* className;
        const char* atom;
        const char* text;
        uint32_t style;
        int16_t x, y, cx, cy;
    } expected[] = {
        {99, "BUTTON", "#128", "&O", 0x50010001, 206, 182, 58, 14},
        {2, "BUTTON", "#128", "", 0x50010000, 267, 182, 58, 14},
        {0xFFFF, "STATIC", "#130", "", 0x50020010, 3, 177, 324, 1},
        {0xFFFF, "STATIC", "#130", "#1", 0x50000003, 298, 8, 20, 20},
        {1001, "STATIC", "#130", "", 0x50020200, 12, 15, 280, 20},
        {1010, "SysListView32", "-", "", 0x50810011, 235, 40, 88, 132},
        {1031, "STATIC", "#130", "", 0x50020000, 12, 105, 130, 8},
        {1032, "EDIT", "#129", "", 0x50810080, 10, 116, 200, 12},
        {1033, "BUTTON", "#128", "...", 0x50010000, 213, 116, 14, 12},
        {1041, "BUTTON", "#128", "", 0x50010003, 25, 137, 180, 10},
        {1042, "BUTTON", "#128", "", 0x50010003, 25, 150, 180, 10},
        {1043, "BUTTON", "#128", "", 0x50010003, 25, 163, 180, 10},
        {1047, "STATIC", "#130", "", 0x50020200, 20, 184, 180, 10},
    };
    ASSERT_EQ(controls.size(), sizeof expected / sizeof expected[0]);
    for (size_t i = 0; i < controls.size(); ++i) {
        const ControlTemplate& c = controls[i];
        const Expected& e = expected[i];
        SCOPED_TRACE("control " + std::to_string(i));
        EXPECT_EQ(c.id, e.id);
        EXPECT_TRUE(sameClass(c.className, e.className, e.atom)) << c.className;
        EXPECT_EQ(c.text, e.text);
        EXPECT_EQ(c.style, e.style);
        EXPECT_EQ(c.exStyle, 0u);
        EXPECT_EQ(c.x, e.x);
        EXPECT_EQ(c.y, e.y);
        EXPECT_EQ(c.cx, e.cx);
        EXPECT_EQ(c.cy, e.cy);
    }
}

TEST_F(SetupResources, IconGroupOneWithFiveImages) {
    Bytes group = image_.Find(14, 1);
    ASSERT_FALSE(group.empty()) << "no icon group 1";
    EXPECT_EQ(U16(group, 0), 0);
    EXPECT_EQ(U16(group, 2), 1);
    ASSERT_EQ(U16(group, 4), 5);
    struct Expected {
        int size, bits;
    } expected[] = {{32, 4}, {16, 4}, {48, 8}, {32, 8}, {16, 8}};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE("image " + std::to_string(i));
        size_t entry = 6 + 14 * static_cast<size_t>(i);
        EXPECT_EQ(group[entry], expected[i].size);
        EXPECT_EQ(group[entry + 1], expected[i].size);
        EXPECT_EQ(group[entry + 2], expected[i].bits == 4 ? 16 : 0) << "colour count";
        EXPECT_EQ(U16(group, entry + 6), expected[i].bits);
        Bytes icon = image_.Find(3, U16(group, entry + 12));
        ASSERT_FALSE(icon.empty()) << "missing icon image";
        EXPECT_EQ(icon.size(), U32(group, entry + 8));
        // A bitmap image: header, palette, colour bits and mask of that size.
        EXPECT_EQ(U32(icon, 0), 40u);
        EXPECT_EQ(static_cast<int>(U32(icon, 4)), expected[i].size);
        EXPECT_EQ(static_cast<int>(U32(icon, 8)), 2 * expected[i].size);
        EXPECT_EQ(U16(icon, 14), expected[i].bits);
        size_t colours = 1u << expected[i].bits;
        size_t rowBytes = ((expected[i].size * expected[i].bits + 31) / 32) * 4;
        size_t maskBytes = ((expected[i].size + 31) / 32) * 4;
        EXPECT_EQ(icon.size(), 40 + 4 * colours + (rowBytes + maskBytes) * expected[i].size);
    }
}

TEST_F(SetupResources, ManifestAsksForAdministratorAndCommonControls6) {
    Bytes raw = image_.Find(24, 1);
    ASSERT_FALSE(raw.empty()) << "no manifest 1";
    std::string manifest(raw.begin(), raw.end());
    for (const char* wanted : {
             "<assemblyIdentity processorArchitecture=\"x86\" version=\"5.1.0.0\" type=\"win32\" name=\"Setup.exe\"/>",
             "<description>Setup</description>",
             "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>",
             "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" processorArchitecture=\"x86\" "
             "publicKeyToken=\"6595b64144ccf1df\" language=\"*\"",
         }) {
        EXPECT_NE(manifest.find(wanted), std::string::npos) << wanted;
    }
    EXPECT_EQ(manifest.find("amd64"), std::string::npos);
}

}  // namespace

namespace {

// The archive must begin within the first 249,996 bytes of the file, so the
// program in front of it has to stay well below that; the goal is 64 KB.
TEST(SetupProgram, StaysSmall) {
    const char* chosen = std::getenv("SOLIDSETUP_SETUP_EXE");
    std::string path = chosen != nullptr && chosen[0] != 0 ? chosen : std::string(SOLIDSETUP_SOURCE_DIR) + "/build/win32/Setup.exe";
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) GTEST_SKIP() << "no " << path << ": build the win32 preset first";
    const long long size = static_cast<long long>(in.tellg());
    std::printf("Setup.exe (i686): %lld bytes\n", size);
    RecordProperty("SetupExeBytes", std::to_string(size));
    EXPECT_LT(size, 120 * 1024) << "the stub has grown towards the archive's offset limit";
}

}  // namespace
