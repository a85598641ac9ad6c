#include "settings/settings_store.h"

#include "fixture.h"

using settings::SettingsStore;
using settings::StoreError;

namespace {
class SettingsStoreTest : public SimTest {};

TEST_F(SettingsStoreTest, IntegersFollowTheStoredTextRules) {
  struct Case {
    const char* text;
    int expected;
  } cases[] = {
      {" 5", 5},        {"$10", 16},     {"-3", -3},      {"0x1F", 31},   {"x10", 16},
      {"+7", 7},        {"5x", 99},      {"5 ", 99},      {"", 99},       {"abc", 99},
      {"2147483647", 2147483647},        {"2147483648", 99},              {"-2147483648", INT32_MIN},
      {"$FFFFFFFF", -1}, {"$100000000", 99}, {"$", 99},  {"-", 99},       {"\t5", 99},
  };
  for (const auto& c : cases) {
    Store("F1", "X", c.text);
    SettingsStore store;
    EXPECT_EQ(store.ReadInteger("F1", "X", 99), c.expected) << "stored \"" << c.text << "\"";
  }
}

TEST_F(SettingsStoreTest, BoolsReadAsIntegersWithTheirDefault) {
  struct Case {
    const char* text;
    bool def;
    bool expected;
  } cases[] = {
      {"1", false, true}, {"0", true, false},  {"2", false, true},   {"-1", false, true},
      {"yes", true, true}, {"yes", false, false}, {"", true, true}, {"", false, false},
  };
  for (const auto& c : cases) {
    Store("F6", "C4", c.text);
    SettingsStore store;
    EXPECT_EQ(store.ReadBool("F6", "C4", c.def), c.expected)
        << "stored \"" << c.text << "\" default " << c.def;
  }
}

TEST_F(SettingsStoreTest, WritesAreStringsWithTheirTerminatingNul) {
  {
    SettingsStore store;
    store.WriteBool("F1", "KYUSI", true);
    store.WriteInteger("F1", "X", -12);
    store.WriteString("F8", "Coment", "");
    EXPECT_EQ(store.ReadInteger("F1", "KYUSI", 0), 1);
  }
  auto v = sim->GetValue(Section("F1"), "X");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->type, platform::kRegSz);
  EXPECT_EQ(v->data, std::string("-12\0", 4));
  EXPECT_EQ(sim->GetValue(Section("F8"), "Coment")->data, std::string("\0", 1));
  EXPECT_EQ(sim->OpenKeyCount(), 0u) << "every key handle is closed again";
}

TEST_F(SettingsStoreTest, MissingSectionsAndValuesGiveDefaultsAndCreateNothing) {
  SettingsStore store;
  EXPECT_EQ(store.ReadString("F20", "homepage", "http://"), "http://");
  EXPECT_EQ(store.ReadInteger("F4", "X", 200), 200);
  EXPECT_FALSE(sim->KeyExists(Section("F20")));
  Store("F4", "Y", "10");
  EXPECT_EQ(store.ReadInteger("F4", "X", 200), 200);
}

TEST_F(SettingsStoreTest, StringsReadRawUpToTheFirstNul) {
  sim->SetValue(Section("F8"), "User", {platform::kRegExpandSz, std::string("%USERNAME%\0", 11)});
  sim->SetValue(Section("F8"), "Title", {platform::kRegSz, std::string("ab\0cd\0", 6)});
  sim->SetValue(Section("F8"), "Coment", {platform::kRegSz, ""});
  SettingsStore store;
  EXPECT_EQ(store.ReadString("F8", "User", "x"), "%USERNAME%");
  EXPECT_EQ(store.ReadString("F8", "Title", "x"), "ab");
  EXPECT_EQ(store.ReadString("F8", "Coment", "x"), "");
}

TEST_F(SettingsStoreTest, NonStringValuesRaiseTheDataTypeError) {
  sim->SetValue(Section("F1"), "X", {platform::kRegDword, std::string("\x05\0\0\0", 4)});
  SettingsStore store;
  try {
    store.ReadInteger("F1", "X", 0);
    FAIL() << "no error";
  } catch (const StoreError& e) {
    EXPECT_STREQ(e.what(), "'X' のデータ型が不正です");
  }
}

TEST_F(SettingsStoreTest, UnwritableSectionRaisesTheCreationError) {
  sim->readOnlySections.insert(
      "software\\kivo_project\\ve_dizo\\kivo_shutdown\\f9");
  SettingsStore store;
  try {
    store.WriteBool("F9", "tomei", true);
    FAIL() << "no error";
  } catch (const StoreError& e) {
    EXPECT_STREQ(e.what(), "キー F9 の作成に失敗しました");
  }
}

TEST_F(SettingsStoreTest, UnopenableApplicationKeyIsSilent) {
  sim->registryWritable = false;
  SettingsStore store;
  EXPECT_FALSE(store.IsOpen());
  EXPECT_EQ(store.ReadInteger("F1", "X", 7), 7);
  EXPECT_NO_THROW(store.WriteString("F1", "X", "1"));
}

TEST_F(SettingsStoreTest, ColourTextRoundTripsAndRejectsOtherText) {
  using settings::ColorToString;
  using settings::StringToColor;
  EXPECT_EQ(ColorToString(tk::clBtnFace), "clBtnFace");
  EXPECT_EQ(ColorToString(0x0000FF), "clRed");
  EXPECT_EQ(ColorToString(0x123456), "$00123456");
  EXPECT_EQ(StringToColor("clBtnFace"), tk::clBtnFace);
  EXPECT_EQ(StringToColor("CLWHITE"), 0xFFFFFF);
  EXPECT_EQ(StringToColor("$00123456"), 0x123456);
  EXPECT_EQ(StringToColor("-2147483633"), tk::clBtnFace);
  EXPECT_EQ(StringToColor(ColorToString(static_cast<tk::Color>(0x8000001F))),
            static_cast<tk::Color>(0x8000001F));
  try {
    StringToColor("purple-ish");
    FAIL() << "no error";
  } catch (const StoreError& e) {
    EXPECT_STREQ(e.what(), "'purple-ish' は整数ではありません");
  }
}
}  // namespace
