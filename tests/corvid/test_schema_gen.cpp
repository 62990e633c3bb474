// corvidj_gen on small schemas: every argument kind and result reaches each file it writes in
// the same order, and a bad schema line stops it with the line's fault.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "TestEnv.h"

namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

constexpr char kSessionRecord[] = "rec ZQSessionInfo 32\n  session_id byte[32]\n";
constexpr char kRecords[] =
    "rec ZQSessionInfo 32\n  session_id byte[32]\n"
    "rec Row\n  id i16\n  rate pct\n  code b16[2]\n  name text9\n  same ptext9 @name\n";

class SchemaGen : public ::testing::Test {
 protected:
  // Runs the generator; its exit code, and its message lines in m_errors.
  int Run(const std::string& records, const std::string& methods) {
    kelptest::WriteFile(m_dir / "records.schema", records);
    kelptest::WriteFile(m_dir / "methods.schema", methods);
    const std::string command = std::string(CORVIDJ_GEN_PROGRAM) + " " + (m_dir / "records.schema").string() + " " +
                                (m_dir / "methods.schema").string() + " " + (m_dir / "out").string() + " 2> " +
                                (m_dir / "errors").string();
    const int status = std::system(command.c_str());
    m_errors = Lines("errors");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::vector<std::string> Lines(const std::string& file) const {
    std::istringstream in(kelptest::ReadFile(m_dir / file));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  kelptest::TempDir m_dir;
  std::vector<std::string> m_errors;
};

TEST_F(SchemaGen, EveryArgumentKindAndResultReachesEachFile) {
  ASSERT_EQ(Run(kRecords,
                "fn Mixed u s i i p P <Row > str2\n"
                "fn Rows u > Row[3] -1\n"
                "fn Count > int\n"
                "fn Note p\n"),
            0)
      << ::testing::PrintToString(m_errors);

  const auto header = Lines("out/include/corvid_records.h");
  EXPECT_THAT(header, Contains("int ZQ_Mixed(const char* pszUnitName, const ZQR_ZQSessionInfo* pSession, int n0, "
                               "int n1, const char* pszText, const char* pszText, const ZQR_Row* pIn, "
                               "char* pszText1, char* pszText2);"));
  EXPECT_THAT(header, Contains("int ZQ_Rows(const char* pszUnitName, ZQR_Row* pOut);"));
  EXPECT_THAT(header, Contains("int ZQ_Count(int* pValue);"));
  EXPECT_THAT(header, Contains("int ZQ_Note(const char* pszText);"));
  EXPECT_THAT(header, Contains("  unsigned char code[2][2];"));
  EXPECT_THAT(header, Contains("  char name[9];"));
  EXPECT_THAT(header, Not(Contains("  char same[9];"))) << "a field read again has no storage";

  const auto tables = Lines("out/corvid_tables.cpp");
  EXPECT_THAT(tables, Contains("  {\"id\", \"I\", Kind::Int, true, false, 0, offsetof(ZQR_Row, id), 2, {0, 0}, -1},"));
  EXPECT_THAT(tables,
              Contains("  {\"rate\", \"S\", Kind::Hundredths, false, false, 0, offsetof(ZQR_Row, rate), 8, {0, 0}, -1},"));
  EXPECT_THAT(tables,
              Contains("  {\"code\", \"[I\", Kind::Int, false, true, 1, offsetof(ZQR_Row, code), 2, {2, 0}, -1},"));
  EXPECT_THAT(tables, Contains("  {\"same\", \"Ljava/lang/String;\", Kind::PlatformText, false, false, 0, "
                               "offsetof(ZQR_Row, name), 9, {0, 0}, -1},"));
  EXPECT_THAT(tables, Contains("  {\"Mixed\", \"usiipP<\", 1, -1, 1, Result::TextPair, false},"));
  EXPECT_THAT(tables, Contains("  {\"Rows\", \"u\", -1, 1, 3, Result::Array, true},"));

  const auto calls = Lines("out/corvid_calls.cpp");
  const auto mixed = std::find(calls.begin(), calls.end(), "  StoreCall c;");
  ASSERT_NE(mixed, calls.end());
  EXPECT_THAT(std::vector<std::string>(mixed + 1, mixed + 11),
              ElementsAre("  c.unit = pszUnitName;", "  c.session = pSession;", "  c.ints[0] = n0;", "  c.ints[1] = n1;",
                          "  c.text = pszText;", "  c.text = pszText;", "  c.in = pIn;", "  c.pair[0] = pszText1;",
                          "  c.pair[1] = pszText2;", "  return corvid::detail::ServeCall(0, c);"));

  const auto entries = Lines("out/corvidj_entries.cpp");
  EXPECT_THAT(entries, Contains("JNIEXPORT jobjectArray JNICALL Java_quarn_str_diskarray_DiskArrayUtilityJNI_ZQ_1Mixed("
                                "JNIEnv* env, jclass, jstring a0, jobject a1, jint a2, jint a3, jstring a4, jstring a5, "
                                "jobject a6) {"));
  EXPECT_THAT(entries, Contains("  if (c.Unit(a0) && c.Session(a1) && c.Text(a4) && c.Text(a5) && c.Input(a6) && "
                                "c.Ready()) c.Done(ZQ_Mixed(c.unit(), c.session(), a2, a3, c.text(), c.text(), c.in(), "
                                "c.pair(0), c.pair(1)));"));
  EXPECT_THAT(entries, Contains("  return c.ResultArray();"));
  EXPECT_THAT(entries, Contains("  if (c.Ready()) c.Done(ZQ_Count(c.intOut()));"));
  EXPECT_THAT(entries, Contains("  c.ResultVoid();"));

  const auto java = Lines("out/java/quarn/str/diskarray/DiskArrayUtilityJNI.java");
  EXPECT_THAT(java, Contains("  public static native String[] ZQ_Mixed(String a0, ZQSessionInfo a1, int a2, int a3, "
                             "String a4, String a5, Row a6) throws DiskArrayException;"));
  EXPECT_THAT(java, Contains("  public static native Row[] ZQ_Rows(String a0) throws DiskArrayException;"));
  EXPECT_THAT(java, Contains("  public static native void ZQ_Note(String a0) throws DiskArrayException;"));
  EXPECT_THAT(Lines("out/java/quarn/str/diskarray/Row.java"), Contains("  public int[] code;"));

  const auto javaTest = Lines("out/javatest/quarn/str/diskarray/test/GeneratedCallsTest.java");
  EXPECT_THAT(javaTest,
              Contains("    String[] r = DiskArrayUtilityJNI.ZQ_Mixed(unit, session, 0, 0, text, unit, new Row());"));
  EXPECT_THAT(javaTest, Contains("    assertEquals(3, r.length);"));
  EXPECT_THAT(javaTest, Contains("    DiskArrayUtilityJNI.ZQ_Note(text);"));
}

struct RefusedCase {
  const char* name;
  std::string records;
  const char* methods;
  const char* message;
};

class RefusedSchema : public SchemaGen, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedSchema, StopsWithTheFault) {
  EXPECT_EQ(Run(GetParam().records, GetParam().methods), 1);
  EXPECT_THAT(m_errors, ElementsAre(GetParam().message));
}

const RefusedCase kRefused[] = {
    {"ByteWithoutDimensions", std::string(kSessionRecord) + "rec A\n  b byte\n", "",
     "corvidj_gen: line 4: byte needs dimensions"},
    {"UnknownFieldType", std::string(kSessionRecord) + "rec A\n  x u64\n", "", "corvidj_gen: line 4: unknown type u64"},
    {"ThreeDimensions", std::string(kSessionRecord) + "rec A\n  x u8[2][2][2]\n", "",
     "corvidj_gen: line 4: at most two dimensions"},
    {"UnknownArgument", kSessionRecord, "fn X u q\n", "corvidj_gen: line 1: bad argument q"},
    {"ArgumentOfTwoLetters", kSessionRecord, "fn X us\n", "corvidj_gen: line 1: bad argument us"},
    {"TwoInputObjects", kSessionRecord, "fn X <ZQSessionInfo <ZQSessionInfo\n",
     "corvidj_gen: X: one input object at most"},
    {"ResultMissing", kSessionRecord, "fn X u >\n", "corvidj_gen: line 1: result missing"},
    {"ResultOfNoRecord", kSessionRecord, "fn X > Nothing[2]\n", "corvidj_gen: unknown record Nothing"},
};

INSTANTIATE_TEST_SUITE_P(Cases, RefusedSchema, ::testing::ValuesIn(kRefused),
                         [](const auto& c) { return std::string(c.param.name); });

}  // namespace
