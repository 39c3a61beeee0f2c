// CRegistryStore on Windows: the registry itself, in a scratch key under HKEY_CURRENT_USER
// that each test removes again.

#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "store/RegistryStore.h"

namespace {

constexpr int kDefault = 42;

class RegistryStoreWin : public ::testing::Test {
protected:
    ~RegistryStoreWin() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\FernwellTest");  // only when empty
    }

    // Stores `data` as `name` with `type`, beside the store, as another program might.
    void Put(const std::string& name, DWORD type, const std::vector<BYTE>& data) {
        ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, path_.c_str(), name.c_str(), type, data.data(),
                                  static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    }
    // The type and bytes the registry holds for `name`.
    std::pair<DWORD, std::vector<BYTE>> Get(const std::string& name) {
        std::vector<BYTE> data(16);
        DWORD type = 0, size = static_cast<DWORD>(data.size());
        if (RegGetValueA(HKEY_CURRENT_USER, path_.c_str(), name.c_str(), RRF_RT_ANY, &type,
                         data.data(), &size) != ERROR_SUCCESS) {
            return {REG_NONE, {}};
        }
        data.resize(size);
        return {type, data};
    }

    const std::string path_ = "Software\\FernwellTest\\" + std::to_string(GetCurrentProcessId());
};

TEST_F(RegistryStoreWin, WritesFourByteBinaryLittleEndian) {
    const struct {
        int value;
        std::vector<BYTE> bytes;
    } rows[] = {
        {3, {3, 0, 0, 0}},
        {256, {0, 1, 0, 0}},
        {0x12345678, {0x78, 0x56, 0x34, 0x12}},
        {-1, {0xff, 0xff, 0xff, 0xff}},
        {INT_MIN, {0, 0, 0, 0x80}},
    };
    CRegistryStore store;
    ASSERT_EQ(store.SetKey(path_, 1), 1);
    CRegistryStore reader;
    ASSERT_EQ(reader.SetKey(path_, 0), 1);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        ASSERT_EQ(store.WriteInt("CommPort", row.value), 1);
        EXPECT_EQ(Get("CommPort"), std::make_pair(DWORD{REG_BINARY}, row.bytes));
        EXPECT_EQ(reader.ReadInt("commport", kDefault), row.value);
    }
}

// Values as other programs (or `reg add`) may have stored them: the bytes count, not the type.
TEST_F(RegistryStoreWin, ReadsStoredValuesByTheirBytes) {
    const struct {
        const char* what;
        DWORD type;
        std::vector<BYTE> bytes;
        int expected;
    } rows[] = {
        {"dword", REG_DWORD, {5, 0, 0, 0}, 5},
        {"one byte: the low byte", REG_BINARY, {7}, 7},
        {"two bytes", REG_BINARY, {5, 1}, 0x105},
        {"five bytes: too long", REG_BINARY, {3, 0, 0, 0, 0}, kDefault},
        {"qword: too long", REG_QWORD, {3, 0, 0, 0, 0, 0, 0, 0}, kDefault},
    };
    CRegistryStore store;
    ASSERT_EQ(store.SetKey(path_, 1), 1);
    EXPECT_EQ(store.ValueExists("CommPort"), 0);
    EXPECT_EQ(store.ReadInt("CommPort", kDefault), kDefault);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Put("CommPort", row.type, row.bytes);
        EXPECT_EQ(store.ValueExists("COMMPORT"), 1);
        EXPECT_EQ(store.ReadInt("CommPort", kDefault), row.expected);
    }
}

TEST_F(RegistryStoreWin, MissingKeyIsNeitherOpenedNorMadeByAWrite) {
    CRegistryStore store;
    ASSERT_EQ(store.SetKey(path_, 1), 1);
    EXPECT_EQ(store.SetKey(path_ + "\\Missing", 0), 0);
    EXPECT_EQ(store.LastError(), CRegistryStore::kErrorKeyNotFound);
    EXPECT_EQ(store.KeyPath(), path_);
    ASSERT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(store.WriteInt("CommPort", 3), 0);
    EXPECT_EQ(store.SetKey(path_, 0), 0);
}

}  // namespace
