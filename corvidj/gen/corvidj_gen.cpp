// corvidj_gen: reads the record and method schema and writes everything built from it: the C
// record structs and prototypes, the descriptor tables, the stand-in's entry points, the JNI
// entry points and their version script, the Java classes and a Java test calling every method.
//
// usage: corvidj_gen RECORDS.schema METHODS.schema OUTDIR
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxAlign = 4;  // records pack to 4 bytes
constexpr char kPackage[] = "quarn.str.diskarray";
constexpr char kPackagePath[] = "quarn/str/diskarray/";

struct Field {
  std::string name, base, alias;
  std::vector<std::size_t> dims;
  std::size_t elemSize = 0, align = 1, offset = 0;
  int record = -1;
};

struct Record {
  std::string name, ctype;
  std::size_t declared = 0, size = 0, align = 1, reserved = 0;
  std::vector<Field> fields;
};

struct Method {
  std::string name, args, result;
  std::vector<std::string> inputs;  // record name per '<'
  int input = -1, output = -1;
  std::size_t count = 1;
  bool minusOne = false, lib = false;
};

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

bool IsInt(const std::string& b) {
  return b == "i8" || b == "u8" || b == "i16" || b == "u16" || b == "i32" || b == "u32" || b == "b16";
}
bool IsText(const std::string& b) { return b.rfind("text", 0) == 0 || b.rfind("ptext", 0) == 0; }
bool IsPlatform(const std::string& b) { return b.rfind("ptext", 0) == 0; }

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
  f.base = type;
  if (w.size() > 2 && w[2][0] == '@') f.alias = w[2].substr(1);
  if (IsInt(type)) {
    f.elemSize = type == "i8" || type == "u8" ? 1 : type == "i32" || type == "u32" ? 4 : 2;
    f.align = type == "b16" ? 1 : f.elemSize;
  } else if (type == "pct") {
    f.elemSize = 8;
    f.align = kMaxAlign;
  } else if (type == "byte") {
    if (f.dims.empty()) Die("line " + std::to_string(line) + ": byte needs dimensions");
    f.elemSize = 1;
  } else if (IsText(type)) {
    f.elemSize = std::stoul(type.substr(IsPlatform(type) ? 5 : 4));
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

int RecordOf(const std::string& name) {
  const auto it = recordIndex.find(name);
  if (it == recordIndex.end()) Die("unknown record " + name);
  return it->second;
}

void ReadMethods(const std::string& path) {
  ForEachSchemaLine(path, [](const std::vector<std::string>& w, int n) {
    if (w[0] != "fn" || w.size() < 2) Die("line " + std::to_string(n) + ": expected fn");
    Method m;
    m.name = w[1];
    m.result = "void";
    for (std::size_t i = 2; i < w.size(); ++i) {
      const std::string& a = w[i];
      if (a == ">") {
        if (++i == w.size()) Die("line " + std::to_string(n) + ": result missing");
        m.result = w[i];
      } else if (a == "-1") {
        m.minusOne = true;
      } else if (a == "lib") {
        m.lib = true;
      } else if (a[0] == '<') {
        m.args += '<';
        m.input = RecordOf(a.substr(1));
      } else if (a == "u" || a == "s" || a == "i" || a == "p" || a == "P") {
        m.args += a;
      } else {
        Die("line " + std::to_string(n) + ": bad argument " + a);
      }
    }
    if (std::count(m.args.begin(), m.args.end(), '<') > 1) Die(m.name + ": one input object at most");
    if (m.result != "void" && m.result != "str" && m.result != "str2" && m.result != "int") {
      std::string r = m.result;
      if (r.back() == ']') {
        const std::size_t open = r.find('[');
        m.count = std::stoul(r.substr(open + 1));
        r.erase(open);
        m.result = "array";
      } else {
        m.result = "object";
      }
      m.output = RecordOf(r);
    }
    methods.push_back(m);
  });
}

// ---- C side ----

std::string CType(const Field& f) {
  if (f.record >= 0) return records[f.record].ctype;
  if (f.base == "i8") return "signed char";
  if (f.base == "u8" || f.base == "b16" || f.base == "byte") return "unsigned char";
  if (f.base == "i16") return "short";
  if (f.base == "u16") return "unsigned short";
  if (f.base == "i32") return "int";
  if (f.base == "u32") return "unsigned int";
  if (f.base == "pct") return "double";
  return "char";
}

std::string CDims(const Field& f) {
  std::string out;
  for (std::size_t d : f.dims) out += "[" + std::to_string(d) + "]";
  if (IsText(f.base) || f.base == "b16") out += "[" + std::to_string(f.elemSize) + "]";
  return out;
}

std::string OutParams(const Method& m) {
  if (m.output >= 0) return records[m.output].ctype + "* pOut";
  if (m.result == "str") return "char** ppText";
  if (m.result == "str2") return "char* pszText1, char* pszText2";
  if (m.result == "int") return "int* pValue";
  return "";
}

std::string CParams(const Method& m) {
  std::vector<std::string> ps;
  int ints = 0;
  for (char a : m.args) {
    switch (a) {
      case 'u': ps.push_back("const char* pszUnitName"); break;
      case 's': ps.push_back("const ZQR_ZQSessionInfo* pSession"); break;
      case 'i': ps.push_back("int n" + std::to_string(ints++)); break;
      case 'p': case 'P': ps.push_back("const char* pszText"); break;
      case '<': ps.push_back("const " + records[m.input].ctype + "* pIn"); break;
    }
  }
  if (const std::string out = OutParams(m); !out.empty()) ps.push_back(out);
  std::string s;
  for (const auto& p : ps) s += (s.empty() ? "" : ", ") + p;
  return s.empty() ? "void" : s;
}

void WriteHeader(std::ostream& o) {
  o << "/* Generated from corvidj/schema by corvidj_gen: the records and functions of the\n"
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

std::string Kind(const Field& f) {
  if (f.record >= 0) return "Record";
  if (f.base == "pct") return "Hundredths";
  if (f.base == "byte") return "Byte";
  if (IsPlatform(f.base)) return "PlatformText";
  if (IsText(f.base)) return "Text";
  return "Int";
}

std::string JavaType(const Field& f, bool withDims = true) {
  std::string t = f.record >= 0 ? records[f.record].name
                  : f.base == "pct" ? "short"
                  : f.base == "byte" ? "byte"
                  : IsText(f.base) ? "String" : "int";
  if (withDims)
    for (std::size_t i = 0; i < f.dims.size(); ++i) t += "[]";
  return t;
}

std::string Signature(const Field& f) {
  std::string s(f.dims.size(), '[');
  if (f.record >= 0) return s + "L" + kPackagePath + records[f.record].name + ";";
  if (f.base == "pct") return s + "S";
  if (f.base == "byte") return s + "B";
  if (IsText(f.base)) return s + "Ljava/lang/String;";
  return s + "I";
}

std::string ResultName(const Method& m) {
  if (m.result == "object") return "Object";
  if (m.result == "array") return "Array";
  if (m.result == "str") return "Text";
  if (m.result == "str2") return "TextPair";
  if (m.result == "int") return "Int";
  return "Void";
}

void WriteTables(std::ostream& o) {
  o << "// Generated from corvidj/schema by corvidj_gen: the descriptor tables.\n"
       "#include <cstddef>\n#include <string_view>\n\n#include \"corvid.h\"\n#include \"corvid/Schema.h\"\n\n"
       "namespace corvid::schema {\nnamespace {\n";
  for (std::size_t i = 0; i < records.size(); ++i) {
    const Record& r = records[i];
    o << "constexpr Field kFields" << i << "[] = {\n";
    for (const Field& f : r.fields) {
      const bool isSigned = f.base == "i8" || f.base == "i16" || f.base == "i32";
      o << "  {\"" << f.name << "\", \"" << Signature(f) << "\", Kind::" << Kind(f) << ", "
        << (isSigned ? "true" : "false") << ", " << (f.base == "b16" ? "true" : "false") << ", "
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
      << ", Result::" << ResultName(m) << ", " << (m.minusOne ? "true" : "false") << "},\n";
  o << "};\nconst std::size_t kMethodCount = " << methods.size() << ";\n\n"
       "int FindMethod(std::string_view name) {\n"
       "  for (std::size_t i = 0; i < kMethodCount; ++i)\n"
       "    if (name == kMethods[i].name) return static_cast<int>(i);\n  return -1;\n}\n\n"
       "}  // namespace corvid::schema\n";
}

// The stand-in's entry points: each hands its arguments to the record store.
void WriteStandIn(std::ostream& o) {
  o << "// Generated from corvidj/schema by corvidj_gen: the stand-in's entry points.\n"
       "#include \"Export.h\"\n#include \"RecordStore.h\"\n#include \"corvid.h\"\n\n"
       "using corvid::detail::StoreCall;\n\nextern \"C\" {\n";
  for (std::size_t i = 0; i < methods.size(); ++i) {
    const Method& m = methods[i];
    if (m.lib) continue;
    o << "CORVID_API int ZQ_" << m.name << "(" << CParams(m) << ") {\n  StoreCall c;\n";
    int ints = 0;
    for (char a : m.args) {
      switch (a) {
        case 'u': o << "  c.unit = pszUnitName;\n"; break;
        case 's': o << "  c.session = pSession;\n"; break;
        case 'i': o << "  c.ints[" << ints << "] = n" << ints << ";\n"; ++ints; break;
        case 'p': case 'P': o << "  c.text = pszText;\n"; break;
        case '<': o << "  c.in = pIn;\n"; break;
      }
    }
    if (m.output >= 0) o << "  c.out = pOut;\n";
    if (m.result == "str") o << "  c.textOut = ppText;\n";
    if (m.result == "str2") o << "  c.pair[0] = pszText1;\n  c.pair[1] = pszText2;\n";
    if (m.result == "int") o << "  c.intOut = pValue;\n";
    o << "  return corvid::detail::ServeCall(" << i << ", c);\n}\n";
  }
  o << "}  // extern \"C\"\n";
}

std::string JniName(const std::string& method) {
  std::string out = "Java_quarn_str_diskarray_DiskArrayUtilityJNI_";
  for (char c : "ZQ_" + method) out += c == '_' ? std::string("_1") : std::string(1, c);
  return out;
}

std::string JniType(char a) {
  return a == 'i' ? "jint" : a == 'u' || a == 'p' || a == 'P' ? "jstring" : "jobject";
}

std::string JniReturn(const Method& m) {
  if (m.result == "object") return "jobject";
  if (m.result == "array" || m.result == "str2") return "jobjectArray";
  if (m.result == "str") return "jstring";
  if (m.result == "int") return "jint";
  return "void";
}

void WriteEntries(std::ostream& o, std::ostream& map) {
  o << "// Generated from corvidj/schema by corvidj_gen: one JNI entry point per native method.\n"
       "#include <jni.h>\n\n#include \"Call.h\"\n#include \"corvid.h\"\n\nusing corvidj::Call;\n\n"
       "extern \"C\" {\n";
  map << "/* Generated from corvidj/schema by corvidj_gen: only the native methods leave the library. */\n"
         "{\n  global:\n";
  for (std::size_t i = 0; i < methods.size(); ++i) {
    const Method& m = methods[i];
    const std::string name = JniName(m.name);
    map << "    " << name << ";\n";
    o << "JNIEXPORT " << JniReturn(m) << " JNICALL " << name << "(JNIEnv* env, jclass";
    for (std::size_t a = 0; a < m.args.size(); ++a) o << ", " << JniType(m.args[a]) << " a" << a;
    o << ") {\n  Call c(env, " << i << ");\n  if (";
    std::vector<std::string> checks, call;
    for (std::size_t a = 0; a < m.args.size(); ++a) {
      const std::string v = "a" + std::to_string(a);
      switch (m.args[a]) {
        case 'u': checks.push_back("c.Unit(" + v + ")"); call.push_back("c.unit()"); break;
        case 's': checks.push_back("c.Session(" + v + ")"); call.push_back("c.session()"); break;
        case 'i': call.push_back(v); break;
        case 'p': case 'P': checks.push_back("c.Text(" + v + ")"); call.push_back("c.text()"); break;
        case '<': checks.push_back("c.Input(" + v + ")"); call.push_back("c.in()"); break;
      }
    }
    checks.push_back("c.Ready()");
    if (m.output >= 0) call.push_back("c.out()");
    if (m.result == "str") call.push_back("c.textOut()");
    if (m.result == "str2") { call.push_back("c.pair(0)"); call.push_back("c.pair(1)"); }
    if (m.result == "int") call.push_back("c.intOut()");
    for (std::size_t k = 0; k < checks.size(); ++k) o << (k ? " && " : "") << checks[k];
    o << ") c.Done(ZQ_" << m.name << "(";
    for (std::size_t k = 0; k < call.size(); ++k) o << (k ? ", " : "") << call[k];
    o << "));\n  ";
    if (m.result == "object") o << "return c.ResultObject();\n";
    else if (m.result == "array") o << "return c.ResultArray();\n";
    else if (m.result == "str") o << "return c.ResultText();\n";
    else if (m.result == "str2") o << "return c.ResultPair();\n";
    else if (m.result == "int") o << "return c.ResultInt();\n";
    else o << "c.ResultVoid();\n";
    o << "}\n";
  }
  o << "}  // extern \"C\"\n";
  map << "  local:\n    *;\n};\n";
}

// ---- Java side ----

std::string JavaArgType(const Method& m, char a) {
  switch (a) {
    case 'u': case 'p': case 'P': return "String";
    case 's': return "ZQSessionInfo";
    case 'i': return "int";
    default: return records[m.input].name;
  }
}

std::string JavaResult(const Method& m) {
  if (m.result == "object") return records[m.output].name;
  if (m.result == "array") return records[m.output].name + "[]";
  if (m.result == "str") return "String";
  if (m.result == "str2") return "String[]";
  return m.result;
}

void WriteJava(const fs::path& dir) {
  for (const Record& r : records) {
    std::ofstream o(dir / (r.name + ".java"));
    o << "// Generated from corvidj/schema by corvidj_gen.\npackage " << kPackage << ";\n\n"
      << "public class " << r.name << " {\n  public " << r.name << "() {}\n";
    for (const Field& f : r.fields) o << "  public " << JavaType(f) << " " << f.name << ";\n";
    o << "}\n";
  }
  std::ofstream o(dir / "DiskArrayUtilityJNI.java");
  o << "// Generated from corvidj/schema by corvidj_gen.\npackage " << kPackage << ";\n\n"
       "public final class DiskArrayUtilityJNI {\n  static {\n    System.loadLibrary(\"corvidj\");\n  }\n\n"
       "  private DiskArrayUtilityJNI() {}\n\n";
  for (const Method& m : methods) {
    o << "  public static native " << JavaResult(m) << " ZQ_" << m.name << "(";
    for (std::size_t a = 0; a < m.args.size(); ++a) o << (a ? ", " : "") << JavaArgType(m, m.args[a]) << " a" << a;
    o << ") throws DiskArrayException;\n";
  }
  o << "}\n";
}

void WriteJavaTest(const fs::path& dir) {
  std::ofstream o(dir / "GeneratedCallsTest.java");
  o << "// Generated from corvidj/schema by corvidj_gen: every native method once, on a simulated unit.\n"
       "package quarn.str.diskarray.test;\n\nimport static org.junit.Assert.*;\n\n"
       "import org.junit.BeforeClass;\nimport org.junit.Test;\nimport quarn.str.diskarray.*;\n\n"
       "public class GeneratedCallsTest {\n  static String unit;\n  static String text;\n"
       "  static ZQSessionInfo session;\n\n  @BeforeClass\n  public static void setUp() throws Exception {\n"
       "    unit = SimUnit.create(\"GEN\");\n    text = SimUnit.textFile();\n    session = SimUnit.login(unit);\n  }\n";
  for (const Method& m : methods) {
    o << "\n  @Test(timeout = 20000)\n  public void " << m.name << "() throws Exception {\n    ";
    if (m.result != "void") o << JavaResult(m) << " r = ";
    o << "DiskArrayUtilityJNI.ZQ_" << m.name << "(";
    for (std::size_t a = 0; a < m.args.size(); ++a) {
      o << (a ? ", " : "");
      switch (m.args[a]) {
        case 'u': case 'P': o << "unit"; break;
        case 'p': o << "text"; break;
        case 's': o << "session"; break;
        case 'i': o << "0"; break;
        default: o << "new " << records[m.input].name << "()"; break;
      }
    }
    o << ");\n";
    if (m.result == "object" || m.result == "str") o << "    assertNotNull(r);\n";
    if (m.result == "array")
      o << "    assertEquals(" << m.count << ", r.length);\n    for (Object e : r) assertNotNull(e);\n";
    if (m.result == "str2") o << "    assertTrue(r == null || r.length == 2);\n";
    o << "  }\n";
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
