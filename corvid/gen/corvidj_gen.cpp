// corvidj_gen: reads the record and method schema and writes everything built from it: the C
// record structs and prototypes, the descriptor tables, the stand-in's entry points, the JNI
// entry points and their version script, the Java classes and a Java test calling every method.
//
// usage: corvidj_gen RECORDS.schema METHODS.schema OUTDIR
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "corvid/Schema.h"

namespace {

namespace fs = std::filesystem;
namespace sc = corvid::schema;

constexpr std::size_t kMaxAlign = 4;  // records pack to 4 bytes
constexpr char kPackage[] = "quarn.str.diskarray";
constexpr char kPackagePath[] = "quarn/str/diskarray/";

// The field types of records.schema other than records; textN and ptextN take N from the word.
struct FieldType {
  const char* word;
  sc::Kind kind;
  const char* cType;
  std::size_t size, align;
  bool isSigned, bigEndian;
  bool charArray;  // C: an array of `size` cType (a text, b16's two bytes)
};

constexpr FieldType kFieldTypes[] = {
    {"i8", sc::Kind::Int, "signed char", 1, 1, true, false, false},
    {"u8", sc::Kind::Int, "unsigned char", 1, 1, false, false, false},
    {"i16", sc::Kind::Int, "short", 2, 2, true, false, false},
    {"u16", sc::Kind::Int, "unsigned short", 2, 2, false, false, false},
    {"i32", sc::Kind::Int, "int", 4, 4, true, false, false},
    {"u32", sc::Kind::Int, "unsigned int", 4, 4, false, false, false},
    {"b16", sc::Kind::Int, "unsigned char", 2, 1, false, true, true},
    {"pct", sc::Kind::Hundredths, "double", 8, kMaxAlign, false, false, false},
    {"byte", sc::Kind::Byte, "unsigned char", 1, 1, false, false, false},
    {"ptext", sc::Kind::PlatformText, "char", 0, 1, false, false, true},
    {"text", sc::Kind::Text, "char", 0, 1, false, false, true},
};

// The enumerator and the Java side of each kind of field.
struct KindText {
  sc::Kind kind;
  const char* name;
  const char* javaType;   // null: the record's class
  const char* signature;  // null: the record's class
};

constexpr KindText kKindTexts[] = {
    {sc::Kind::Int, "Int", "int", "I"},
    {sc::Kind::Hundredths, "Hundredths", "short", "S"},
    {sc::Kind::Text, "Text", "String", "Ljava/lang/String;"},
    {sc::Kind::PlatformText, "PlatformText", "String", "Ljava/lang/String;"},
    {sc::Kind::Byte, "Byte", "byte", "B"},
    {sc::Kind::Record, "Record", nullptr, nullptr},
};

constexpr bool InKindOrder() {
  for (std::size_t i = 0; i < std::size(kKindTexts); ++i)
    if (static_cast<std::size_t>(kKindTexts[i].kind) != i) return false;
  return std::size(kKindTexts) == static_cast<std::size_t>(sc::Kind::Record) + 1;
}
static_assert(InKindOrder(), "a row per field kind, in the order of sc::Kind");

struct Field {
  std::string name, alias;
  std::vector<std::size_t> dims;
  const FieldType* type = nullptr;  // null: a record
  std::size_t elemSize = 0, align = 1, offset = 0;
  int record = -1;

  sc::Kind kind() const { return type != nullptr ? type->kind : sc::Kind::Record; }
  const KindText& text() const { return kKindTexts[static_cast<std::size_t>(kind())]; }
};

struct Record {
  std::string name, ctype;
  std::size_t declared = 0, size = 0, align = 1, reserved = 0;
  std::vector<Field> fields;
};

struct Method {
  std::string name, args;  // args: one sc::kArg* character per argument
  int input = -1, output = -1;
  std::size_t count = 1;
  sc::Result result = sc::Result::Void;
  bool minusOne = false, lib = false;
};

// How an argument of each kind appears in every file written.
struct ArgKind {
  char code;                  // the methods.schema word and the Method::args character
  const char* cType;          // library parameter; null: the input record's
  const char* cName;
  bool numbered;              // ints: the name takes the int's ordinal, the store slot its index
  const char* storeSlot;      // StoreCall member the stand-in fills
  const char* jniType;
  const char* jniTake;        // Call member that takes the Java argument; null: passed as it is
  const char* jniValue;       // Call member that hands the converted value to the library
  const char* javaType;       // null: the input record's class
  const char* javaTestValue;  // null: a new input record
};

constexpr ArgKind kArgKinds[] = {
    {sc::kArgUnit, "const char*", "pszUnitName", false, "unit", "jstring", "Unit", "unit", "String", "unit"},
    {sc::kArgSession, "const ZQR_ZQSessionInfo*", "pSession", false, "session", "jobject", "Session", "session",
     "ZQSessionInfo", "session"},
    {sc::kArgInt, "int", "n", true, "ints", "jint", nullptr, nullptr, "int", "0"},
    {sc::kArgText, "const char*", "pszText", false, "text", "jstring", "Text", "text", "String", "text"},
    {sc::kArgUnitText, "const char*", "pszText", false, "text", "jstring", "Text", "text", "String", "unit"},
    {sc::kArgInput, nullptr, "pIn", false, "in", "jobject", "Input", "in", nullptr, nullptr},
};

// How each result appears in every file written. Object and Array carry the output record.
struct ResultKind {
  sc::Result result;
  const char* word;        // the methods.schema word; null: a record, REC or REC[N]
  const char* name;        // the enumerator in the tables
  const char* cOut;        // library output parameters, after the record's C type for records
  const char* storeOut;    // the stand-in's lines handing them to the store
  const char* jniReturn;
  const char* jniOut;      // Call's values for the output parameters
  const char* jniResult;   // the entry point's last statement
  const char* javaType;    // after the record's class for records
  const char* javaCheck;   // the generated test's check of r; {count}: records in an array
};

constexpr ResultKind kResultKinds[] = {
    {sc::Result::Void, "void", "Void", "", "", "void", "", "c.ResultVoid();", "void", ""},
    {sc::Result::Object, nullptr, "Object", "* pOut", "  c.out = pOut;\n", "jobject", "c.out()",
     "return c.ResultObject();", "", "    assertNotNull(r);\n"},
    {sc::Result::Array, nullptr, "Array", "* pOut", "  c.out = pOut;\n", "jobjectArray", "c.out()",
     "return c.ResultArray();", "[]", "    assertEquals({count}, r.length);\n    for (Object e : r) assertNotNull(e);\n"},
    {sc::Result::Text, "str", "Text", "char** ppText", "  c.textOut = ppText;\n", "jstring", "c.textOut()",
     "return c.ResultText();", "String", "    assertNotNull(r);\n"},
    {sc::Result::TextPair, "str2", "TextPair", "char* pszText1, char* pszText2",
     "  c.pair[0] = pszText1;\n  c.pair[1] = pszText2;\n", "jobjectArray", "c.pair(0), c.pair(1)",
     "return c.ResultPair();", "String[]", "    assertTrue(r == null || r.length == 2);\n"},
    {sc::Result::Int, "int", "Int", "int* pValue", "  c.intOut = pValue;\n", "jint", "c.intOut()",
     "return c.ResultInt();", "int", ""},
};

constexpr bool InResultOrder() {
  for (std::size_t i = 0; i < std::size(kResultKinds); ++i)
    if (static_cast<std::size_t>(kResultKinds[i].result) != i) return false;
  return std::size(kResultKinds) == static_cast<std::size_t>(sc::Result::Int) + 1;
}
static_assert(InResultOrder(), "a row per result, in the order of sc::Result");

const ResultKind& ResultOf(const Method& m) { return kResultKinds[static_cast<std::size_t>(m.result)]; }

std::vector<Record> records;
std::map<std::string, int> recordIndex;
std::vector<Method> methods;

[[noreturn]] void Die(const std::string& what) {
  std::cerr << "corvidj_gen: " << what << "\n";
  std::exit(1);
}

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line.substr(0, line.find('#')));
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

std::size_t AlignUp(std::size_t v, std::size_t a) { return (v + a - 1) / a * a; }

// The type a word names: the whole word, or a text type and its size after it.
const FieldType* FindFieldType(const std::string& word, std::size_t* pSize) {
  for (const FieldType& t : kFieldTypes) {
    if (t.size != 0 ? word != t.word : word.rfind(t.word, 0) != 0) continue;
    *pSize = t.size != 0 ? t.size : std::stoul(word.substr(std::strlen(t.word)));
    return &t;
  }
  return nullptr;
}

std::size_t Count(const Field& f) {
  std::size_t n = 1;
  for (std::size_t d : f.dims) n *= d;
  return n;
}

void ParseField(Record& r, const std::vector<std::string>& w, int line) {
  Field f;
  f.name = w[0];
  std::string type = w[1];
  while (type.back() == ']') {
    const std::size_t open = type.rfind('[');
    f.dims.insert(f.dims.begin(), std::stoul(type.substr(open + 1)));
    type.erase(open);
  }
  if (w.size() > 2 && w[2][0] == '@') f.alias = w[2].substr(1);
  if ((f.type = FindFieldType(type, &f.elemSize)) != nullptr) {
    f.align = f.type->align;
    if (f.type->kind == sc::Kind::Byte && f.dims.empty()) Die("line " + std::to_string(line) + ": byte needs dimensions");
  } else {
    const auto it = recordIndex.find(type);
    if (it == recordIndex.end()) Die("line " + std::to_string(line) + ": unknown type " + type);
    f.record = it->second;
    f.elemSize = records[f.record].size;
    f.align = records[f.record].align;
  }
  if (f.dims.size() > 2) Die("line " + std::to_string(line) + ": at most two dimensions");
  r.fields.push_back(f);
}

void Layout(Record& r) {
  std::size_t at = 0;
  for (Field& f : r.fields) {
    if (!f.alias.empty()) {
      const auto it = std::find_if(r.fields.begin(), r.fields.end(), [&](const Field& o) { return o.name == f.alias; });
      if (it == r.fields.end()) Die(r.name + "." + f.name + ": no field " + f.alias);
      f.offset = it->offset;
      continue;
    }
    f.align = std::min(f.align, kMaxAlign);
    at = AlignUp(at, f.align);
    f.offset = at;
    at += f.elemSize * Count(f);
    r.align = std::max(r.align, f.align);
  }
  r.size = AlignUp(at, r.align);
  if (r.declared) {
    if (r.declared < r.size) Die(r.name + ": fields need " + std::to_string(r.size) + " bytes");
    if (r.declared % r.align) Die(r.name + ": size not a multiple of its alignment");
    r.reserved = r.declared - at;
    r.size = r.declared;
  }
}

// Calls take with the words of every non-empty line of a schema file and its line number.
void ForEachSchemaLine(const std::string& path,
                       const std::function<void(const std::vector<std::string>&, int)>& take) {
  std::ifstream in(path);
  if (!in) Die("cannot read " + path);
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    const auto w = Words(line);
    if (!w.empty()) take(w, n);
  }
}

void ReadRecords(const std::string& path) {
  ForEachSchemaLine(path, [](const std::vector<std::string>& w, int n) {
    if (w[0] == "rec") {
      if (!records.empty()) Layout(records.back());
      Record r;
      r.name = w[1];
      if (w.size() > 2) r.declared = std::stoul(w[2]);
      r.ctype = w.size() > 3 ? w[3] : "ZQR_" + r.name;
      if (recordIndex.count(r.name)) Die("line " + std::to_string(n) + ": " + r.name + " twice");
      recordIndex[r.name] = static_cast<int>(records.size());
      records.push_back(r);
    } else if (records.empty() || w.size() < 2) {
      Die("line " + std::to_string(n) + ": field outside a record");
    } else {
      ParseField(records.back(), w, n);
    }
  });
  if (!records.empty()) Layout(records.back());
}

const ArgKind* FindArgKind(char code) {
  const auto it = std::find_if(std::begin(kArgKinds), std::end(kArgKinds), [code](const ArgKind& k) { return k.code == code; });
  return it == std::end(kArgKinds) ? nullptr : it;
}

// One argument of a method: its kind, its position and, for ints, its ordinal among them.
struct Arg {
  const ArgKind& kind;
  std::size_t position;
  int ordinal;
};

std::vector<Arg> ArgsOf(const Method& m) {
  std::vector<Arg> out;
  int ints = 0;
  for (std::size_t a = 0; a < m.args.size(); ++a) {
    const ArgKind& k = *FindArgKind(m.args[a]);
    out.push_back({k, a, k.numbered ? ints++ : -1});
  }
  return out;
}

int RecordOf(const std::string& name) {
  const auto it = recordIndex.find(name);
  if (it == recordIndex.end()) Die("unknown record " + name);
  return it->second;
}

// A result word: void, str, str2, int, or a record REC (an object) or REC[N] (an array of N).
void ReadResult(Method& m, const std::string& word) {
  for (const ResultKind& k : kResultKinds)
    if (k.word != nullptr && word == k.word) {
      m.result = k.result;
      return;
    }
  std::string r = word;
  if (r.back() == ']') {
    const std::size_t open = r.find('[');
    m.count = std::stoul(r.substr(open + 1));
    r.erase(open);
    m.result = sc::Result::Array;
  } else {
    m.result = sc::Result::Object;
  }
  m.output = RecordOf(r);
}

void ReadMethods(const std::string& path) {
  ForEachSchemaLine(path, [](const std::vector<std::string>& w, int n) {
    if (w[0] != "fn" || w.size() < 2) Die("line " + std::to_string(n) + ": expected fn");
    Method m;
    m.name = w[1];
    for (std::size_t i = 2; i < w.size(); ++i) {
      const std::string& a = w[i];
      if (a == ">") {
        if (++i == w.size()) Die("line " + std::to_string(n) + ": result missing");
        ReadResult(m, w[i]);
      } else if (a == "-1") {
        m.minusOne = true;
      } else if (a == "lib") {
        m.lib = true;
      } else if (a[0] == sc::kArgInput) {
        m.args += sc::kArgInput;
        m.input = RecordOf(a.substr(1));
      } else if (a.size() == 1 && FindArgKind(a[0]) != nullptr) {
        m.args += a;
      } else {
        Die("line " + std::to_string(n) + ": bad argument " + a);
      }
    }
    if (std::count(m.args.begin(), m.args.end(), sc::kArgInput) > 1) Die(m.name + ": one input object at most");
    methods.push_back(m);
  });
}

// ---- C side ----

std::string CType(const Field& f) { return f.type != nullptr ? f.type->cType : records[f.record].ctype; }

std::string CDims(const Field& f) {
  std::string out;
  for (std::size_t d : f.dims) out += "[" + std::to_string(d) + "]";
  if (f.type != nullptr && f.type->charArray) out += "[" + std::to_string(f.elemSize) + "]";
  return out;
}

std::string OutParams(const Method& m) {
  return (m.output >= 0 ? records[m.output].ctype : "") + ResultOf(m).cOut;
}

std::string CName(const Arg& a) {
  return a.kind.cName + (a.kind.numbered ? std::to_string(a.ordinal) : "");
}

std::string CParams(const Method& m) {
  std::vector<std::string> ps;
  for (const Arg& a : ArgsOf(m))
    ps.push_back((a.kind.cType != nullptr ? a.kind.cType : "const " + records[m.input].ctype + "*") + " " + CName(a));
  if (const std::string out = OutParams(m); !out.empty()) ps.push_back(out);
  std::string s;
  for (const auto& p : ps) s += (s.empty() ? "" : ", ") + p;
  return s.empty() ? "void" : s;
}

void WriteHeader(std::ostream& o) {
  o << "/* Generated from corvid/schema by corvidj_gen: the records and functions of the\n"
       " * array-management library that the JNI bridge reaches. Included by corvid.h. */\n"
       "#ifndef CORVID_RECORDS_H\n#define CORVID_RECORDS_H\n\n"
       "#ifdef __cplusplus\n#define ZQR_SIZE(T, N) static_assert(sizeof(T) == (N), #T \" size\")\n"
       "extern \"C\" {\n#else\n#define ZQR_SIZE(T, N) _Static_assert(sizeof(T) == (N), #T \" size\")\n#endif\n\n"
       "#pragma pack(push, 4)\n";
  for (const Record& r : records) {
    o << "typedef struct " << r.ctype << " {\n";
    for (const Field& f : r.fields)
      if (f.alias.empty()) o << "  " << CType(f) << " " << f.name << CDims(f) << ";\n";
    if (r.reserved) o << "  unsigned char reserved[" << r.reserved << "];\n";
    o << "} " << r.ctype << ";\n";
  }
  o << "#pragma pack(pop)\n\n";
  for (const Record& r : records) o << "ZQR_SIZE(" << r.ctype << ", " << r.size << ");\n";
  o << "\n";
  for (const Method& m : methods)
    if (!m.lib) o << "int ZQ_" << m.name << "(" << CParams(m) << ");\n";
  o << "\n#ifdef __cplusplus\n}\n#endif\n#endif\n";
}

std::string JavaType(const Field& f) {
  std::string t = f.text().javaType != nullptr ? f.text().javaType : records[f.record].name;
  for (std::size_t i = 0; i < f.dims.size(); ++i) t += "[]";
  return t;
}

std::string Signature(const Field& f) {
  const std::string s(f.dims.size(), '[');
  if (f.text().signature != nullptr) return s + f.text().signature;
  return s + "L" + kPackagePath + records[f.record].name + ";";
}

void WriteTables(std::ostream& o) {
  o << "// Generated from corvid/schema by corvidj_gen: the descriptor tables.\n"
       "#include <cstddef>\n#include <string_view>\n\n#include \"corvid.h\"\n#include \"corvid/Schema.h\"\n\n"
       "namespace corvid::schema {\nnamespace {\n";
  for (std::size_t i = 0; i < records.size(); ++i) {
    const Record& r = records[i];
    o << "constexpr Field kFields" << i << "[] = {\n";
    for (const Field& f : r.fields) {
      const bool isSigned = f.type != nullptr && f.type->isSigned;
      const bool bigEndian = f.type != nullptr && f.type->bigEndian;
      o << "  {\"" << f.name << "\", \"" << Signature(f) << "\", Kind::" << f.text().name << ", "
        << (isSigned ? "true" : "false") << ", " << (bigEndian ? "true" : "false") << ", "
        << f.dims.size() << ", offsetof(" << r.ctype << ", " << (f.alias.empty() ? f.name : f.alias) << "), "
        << f.elemSize << ", {" << (f.dims.size() > 0 ? f.dims[0] : 0) << ", " << (f.dims.size() > 1 ? f.dims[1] : 0)
        << "}, " << f.record << "},\n";
    }
    o << "};\n";
  }
  o << "}  // namespace\n\nconst Record kRecords[] = {\n";
  for (std::size_t i = 0; i < records.size(); ++i)
    o << "  {\"" << kPackagePath << records[i].name << "\", sizeof(" << records[i].ctype << "), kFields" << i
      << ", " << records[i].fields.size() << "},\n";
  o << "};\nconst std::size_t kRecordCount = " << records.size() << ";\nconst std::int16_t kSessionRecord = "
    << RecordOf("ZQSessionInfo") << ";\n\nconst Method kMethods[] = {\n";
  for (const Method& m : methods)
    o << "  {\"" << m.name << "\", \"" << m.args << "\", " << m.input << ", " << m.output << ", " << m.count
      << ", Result::" << ResultOf(m).name << ", " << (m.minusOne ? "true" : "false") << "},\n";
  o << "};\nconst std::size_t kMethodCount = " << methods.size() << ";\n\n"
       "int FindMethod(std::string_view name) {\n"
       "  for (std::size_t i = 0; i < kMethodCount; ++i)\n"
       "    if (name == kMethods[i].name) return static_cast<int>(i);\n  return -1;\n}\n\n"
       "}  // namespace corvid::schema\n";
}

// The stand-in's entry points: each hands its arguments to the record store.
void WriteStandIn(std::ostream& o) {
  o << "// Generated from corvid/schema by corvidj_gen: the stand-in's entry points.\n"
       "#include \"Export.h\"\n#include \"RecordStore.h\"\n#include \"corvid.h\"\n\n"
       "using corvid::detail::StoreCall;\n\nextern \"C\" {\n";
  for (std::size_t i = 0; i < methods.size(); ++i) {
    const Method& m = methods[i];
    if (m.lib) continue;
    o << "CORVID_API int ZQ_" << m.name << "(" << CParams(m) << ") {\n  StoreCall c;\n";
    for (const Arg& a : ArgsOf(m)) {
      o << "  c." << a.kind.storeSlot;
      if (a.kind.numbered) o << "[" << a.ordinal << "]";
      o << " = " << CName(a) << ";\n";
    }
    o << ResultOf(m).storeOut;
    o << "  return corvid::detail::ServeCall(" << i << ", c);\n}\n";
  }
  o << "}  // extern \"C\"\n";
}

std::string JniName(const std::string& method) {
  std::string out = "Java_quarn_str_diskarray_DiskArrayUtilityJNI_";
  for (char c : "ZQ_" + method) out += c == '_' ? std::string("_1") : std::string(1, c);
  return out;
}

void WriteEntries(std::ostream& o, std::ostream& map) {
  o << "// Generated from corvid/schema by corvidj_gen: one JNI entry point per native method.\n"
       "#include <jni.h>\n\n#include \"Call.h\"\n#include \"corvid.h\"\n\nusing corvidj::Call;\n\n"
       "extern \"C\" {\n";
  map << "/* Generated from corvid/schema by corvidj_gen: only the native methods leave the library. */\n"
         "{\n  global:\n";
  for (std::size_t i = 0; i < methods.size(); ++i) {
    const Method& m = methods[i];
    const std::string name = JniName(m.name);
    map << "    " << name << ";\n";
    const ResultKind& result = ResultOf(m);
    const std::vector<Arg> args = ArgsOf(m);
    o << "JNIEXPORT " << result.jniReturn << " JNICALL " << name << "(JNIEnv* env, jclass";
    for (const Arg& a : args) o << ", " << a.kind.jniType << " a" << a.position;
    o << ") {\n  Call c(env, " << i << ");\n  if (";
    std::vector<std::string> checks, call;
    for (const Arg& a : args) {
      const std::string v = "a" + std::to_string(a.position);
      if (a.kind.jniTake != nullptr) checks.push_back(std::string("c.") + a.kind.jniTake + "(" + v + ")");
      call.push_back(a.kind.jniValue != nullptr ? std::string("c.") + a.kind.jniValue + "()" : v);
    }
    checks.push_back("c.Ready()");
    if (*result.jniOut != '\0') call.push_back(result.jniOut);
    for (std::size_t k = 0; k < checks.size(); ++k) o << (k ? " && " : "") << checks[k];
    o << ") c.Done(ZQ_" << m.name << "(";
    for (std::size_t k = 0; k < call.size(); ++k) o << (k ? ", " : "") << call[k];
    o << "));\n  " << result.jniResult << "\n}\n";
  }
  o << "}  // extern \"C\"\n";
  map << "  local:\n    *;\n};\n";
}

// ---- Java side ----

std::string JavaArgType(const Method& m, const Arg& a) {
  return a.kind.javaType != nullptr ? a.kind.javaType : records[m.input].name;
}

std::string JavaResult(const Method& m) {
  return (m.output >= 0 ? records[m.output].name : "") + ResultOf(m).javaType;
}

// text with each "{count}" replaced by the records of the method's output.
std::string WithCount(std::string text, const Method& m) {
  const std::string placeholder = "{count}";
  for (std::size_t at; (at = text.find(placeholder)) != std::string::npos;)
    text.replace(at, placeholder.size(), std::to_string(m.count));
  return text;
}

void WriteJava(const fs::path& dir) {
  for (const Record& r : records) {
    std::ofstream o(dir / (r.name + ".java"));
    o << "// Generated from corvid/schema by corvidj_gen.\npackage " << kPackage << ";\n\n"
      << "public class " << r.name << " {\n  public " << r.name << "() {}\n";
    for (const Field& f : r.fields) o << "  public " << JavaType(f) << " " << f.name << ";\n";
    o << "}\n";
  }
  std::ofstream o(dir / "DiskArrayUtilityJNI.java");
  o << "// Generated from corvid/schema by corvidj_gen.\npackage " << kPackage << ";\n\n"
       "public final class DiskArrayUtilityJNI {\n  static {\n    System.loadLibrary(\"corvidj\");\n  }\n\n"
       "  private DiskArrayUtilityJNI() {}\n\n";
  for (const Method& m : methods) {
    o << "  public static native " << JavaResult(m) << " ZQ_" << m.name << "(";
    for (const Arg& a : ArgsOf(m)) o << (a.position ? ", " : "") << JavaArgType(m, a) << " a" << a.position;
    o << ") throws DiskArrayException;\n";
  }
  o << "}\n";
}

void WriteJavaTest(const fs::path& dir) {
  std::ofstream o(dir / "GeneratedCallsTest.java");
  o << "// Generated from corvid/schema by corvidj_gen: every native method once, on a simulated unit.\n"
       "package quarn.str.diskarray.test;\n\nimport static org.junit.Assert.*;\n\n"
       "import org.junit.BeforeClass;\nimport org.junit.Test;\nimport quarn.str.diskarray.*;\n\n"
       "public class GeneratedCallsTest {\n  static String unit;\n  static String text;\n"
       "  static ZQSessionInfo session;\n\n  @BeforeClass\n  public static void setUp() throws Exception {\n"
       "    unit = SimUnit.create(\"GEN\");\n    text = SimUnit.textFile();\n    session = SimUnit.login(unit);\n  }\n";
  for (const Method& m : methods) {
    o << "\n  @Test(timeout = 20000)\n  public void " << m.name << "() throws Exception {\n    ";
    if (m.result != sc::Result::Void) o << JavaResult(m) << " r = ";
    o << "DiskArrayUtilityJNI.ZQ_" << m.name << "(";
    for (const Arg& a : ArgsOf(m)) {
      o << (a.position ? ", " : "");
      if (a.kind.javaTestValue != nullptr) o << a.kind.javaTestValue;
      else o << "new " << records[m.input].name << "()";
    }
    o << ");\n" << WithCount(ResultOf(m).javaCheck, m) << "  }\n";
  }
  o << "}\n";
}

void Write(const fs::path& path, void (*fill)(std::ostream&)) {
  std::ofstream o(path);
  fill(o);
  if (!o) Die("cannot write " + path.string());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) Die("usage: corvidj_gen RECORDS.schema METHODS.schema OUTDIR");
  ReadRecords(argv[1]);
  ReadMethods(argv[2]);
  const fs::path out = argv[3];
  const fs::path java = out / "java" / kPackagePath;
  const fs::path javaTest = out / "javatest" / "quarn/str/diskarray/test";
  for (const fs::path& d : {out / "include", java, javaTest}) fs::create_directories(d);
  Write(out / "include" / "corvid_records.h", WriteHeader);
  Write(out / "corvid_tables.cpp", WriteTables);
  Write(out / "corvid_calls.cpp", WriteStandIn);
  std::ofstream entries(out / "corvidj_entries.cpp"), map(out / "corvidj.map");
  WriteEntries(entries, map);
  WriteJava(java);
  WriteJavaTest(javaTest);
  return entries && map ? 0 : 1;
}
