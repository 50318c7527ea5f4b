// The registry records of an installation, read back from the registry.
#include <gtest/gtest.h>

#include <string>

#include "install/registry_records.h"
#include "tests/win/install_test_helpers.h"

using namespace install_test;

namespace {

std::string UninstallKeyOf(const std::string& group) {
    return std::string(kUninstallKey) + "\\" + group;
}

class RegistryRecordsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::strcpy(setup.state.productId, productId.c_str());
        std::strcpy(setup.state.group, group.c_str());
    }

    ScratchProfile profile{false, true};  // both registry roots are the test's own
    ScopedSetupState setup;
    std::string productId = "Zq";
    std::string group = "SolidTest Reg";
};

TEST_F(RegistryRecordsTest, FolderRecordHoldsTheLastFolder) {
    WriteFolderRecord("C:\\Apps\\Tool");
    DWORD type = 0, length = 0;
    EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, kMakerKey, productId.c_str(), &type, &length), "C:\\Apps\\Tool");
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(length, DWORD(sizeof "C:\\Apps\\Tool"));  // the terminator is counted

    WriteFolderRecord("D:\\Other\\");
    EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, kMakerKey, productId.c_str()), "D:\\Other\\");
}

TEST_F(RegistryRecordsTest, FolderRecordNeedsAProductIdAndAFolder) {
    WriteFolderRecord("");
    EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, kMakerKey, productId.c_str()), "<none>");
    setup.state.productId[0] = 0;
    WriteFolderRecord("C:\\Apps\\Tool");
    EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, kMakerKey, ""), "<none>");
    EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, kMakerKey, productId.c_str()), "<none>");
}

TEST_F(RegistryRecordsTest, UninstallRecordValues) {
    WriteUninstallRecord("C:\\Apps\\Tool\\UnInst.exe");
    std::string key = UninstallKeyOf(group);
    DWORD type = 0, length = 0;
    EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, key, "DisplayName", &type, &length), group);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(length, DWORD(group.size() + 1));
    EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, key, "UninstallString", &type, &length),
              "C:\\Apps\\Tool\\UnInst.exe");
    EXPECT_EQ(length, DWORD(sizeof "C:\\Apps\\Tool\\UnInst.exe"));
    EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, key, "Publisher", &type, &length), "Tallgrove");
    EXPECT_EQ(length, DWORD(sizeof "Tallgrove"));

    WriteUninstallRecord("D:\\Second\\UnInst.exe");
    EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, key, "UninstallString"), "D:\\Second\\UnInst.exe");
}

TEST_F(RegistryRecordsTest, GroupWithABackslashMakesNestedKeys) {
    std::string nested = group + "\\Tools";
    std::strcpy(setup.state.group, nested.c_str());
    WriteUninstallRecord("C:\\Apps\\Tool\\UnInst.exe");
    EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKeyOf(group)));
    EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, UninstallKeyOf(nested), "DisplayName"), nested);
}

TEST_F(RegistryRecordsTest, NoGroupWritesNoUninstallRecord) {
    setup.state.group[0] = 0;
    WriteUninstallRecord("C:\\Apps\\Tool\\UnInst.exe");
    EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), "<none>");
}

}  // namespace
