#include "schemes/scheme_file.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>

#include "extract/pipeline.h"
#include "keywords/keyword_entries.h"
#include "keywords/title_judge.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace qw {
namespace {

// Keys keep the order they are written in, so the file reads in the order of the editor's fields.
using Json = nlohmann::ordered_json;

constexpr char kFormat[] = "quillwatch-schemes";

// A field as the file names it and as the editor captions it; messages give both.
struct Field {
  const char* key;
  const char* caption;
};
constexpr Field kName{"name", "方案名称"};
constexpr Field kCategory{"category", "类别"};
constexpr Field kEncoding{"encoding", "编码"};
constexpr Field kUrl{"url", "监控网址"};
constexpr Field kAgent{"agent", "模拟浏览"};
constexpr Field kCookie{"cookie", "COOKIE"};
constexpr Field kBefore{"before", "采集前"};
constexpr Field kAfter{"after", "采集后"};
constexpr Field kExpression{"expression", "正则匹配"};
constexpr Field kMode{"mode", "判断模式"};
constexpr Field kTitleIndex{"titleIndex", "标题索引"};
constexpr Field kIdIndex{"idIndex", "文章id索引"};
constexpr Field kSpareIndex{"spareIndex", "备用索引"};
constexpr Field kTemplate{"template", "合成网址"};
constexpr Field kOptions{"options", "选项"};

constexpr char kNewestOnTopName[] = "时间倒序";
constexpr char kNewestAtBottomName[] = "时间正序";
constexpr char kRisingIdName[] = "比较文章ID";

const char* ModeName(int mode) {
  if (mode == kNewestAtBottom) return kNewestAtBottomName;
  if (mode == kRisingId) return kRisingIdName;
  return kNewestOnTopName;
}

// "第 2 个方案「name」的 正则匹配（expression）" + what, as a GBK message. nameUtf8 is how the file or the
// database names the scheme, shown as well as it converts.
std::string Problem(std::size_t index, std::string_view nameUtf8, const Field& field, std::string_view what) {
  std::string text = "第 " + std::to_string(index + 1) + " 个方案";
  if (!nameUtf8.empty()) text.append("「").append(nameUtf8).append("」");
  text.append("的 ").append(field.caption).append("（").append(field.key).append("）").append(what);
  return Utf8ToGbk(text);
}

// The first character of a UTF-8 text that has no GBK form, as its code point ("U+1F600"): the message is
// GBK itself, so it cannot show the character.
std::string FirstCharacterWithoutGbk(std::string_view utf8) {
  std::size_t i = 0;
  while (i < utf8.size()) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    const std::string_view character = utf8.substr(i, length);
    if (lead == 0 || !ExactGbk(character)) {
      char32_t code = length == 1 ? lead : lead & (0x7F >> length);
      for (std::size_t k = 1; k < character.size(); ++k) code = (code << 6) | (character[k] & 0x3F);
      char text[16];
      std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(code));
      return text;
    }
    i += length;
  }
  return {};
}

bool EqualAsciiCaseFree(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
         });
}

// Writes one scheme's fields; stops at the first text without an exact UTF-8 form.
class SchemeWriter {
 public:
  SchemeWriter(std::size_t index, const SchemeRecord& scheme) : index_(index), scheme_(scheme) {}

  Json Write(bool withCookie) {
    Text(kName, scheme_.name);
    Text(kCategory, scheme_.category);
    json_[kEncoding.key] = scheme_.gbk ? "GBK" : "UTF-8";
    Text(kUrl, scheme_.url);
    Text(kAgent, scheme_.agent);
    if (withCookie) Text(kCookie, scheme_.cookie);
    Text(kBefore, scheme_.before);
    Text(kAfter, scheme_.after);
    Text(kExpression, scheme_.expression);
    json_[kMode.key] = ModeName(scheme_.mode);
    Index(kTitleIndex, scheme_.titleIndex);
    Index(kIdIndex, scheme_.idIndex);
    Index(kSpareIndex, scheme_.spareIndex);
    Text(kTemplate, scheme_.urlTemplate);
    Json options = Json::object();
    for (const auto& [name, value] : scheme_.options) {
      if (value.empty()) continue;  // an option left at its default is not stored either
      const std::optional<std::string> key = Utf8Of(kOptions, name);
      const std::optional<std::string> text = Utf8Of(kOptions, value);
      if (key && text) options[*key] = *text;
    }
    json_[kOptions.key] = std::move(options);
    return std::move(json_);
  }

  const std::string& Error() const { return error_; }

 private:
  std::optional<std::string> Utf8Of(const Field& field, const std::string& gbk) {
    if (!error_.empty()) return std::nullopt;
    std::optional<std::string> utf8 = ExactUtf8(gbk);
    if (!utf8) error_ = Problem(index_, GbkToUtf8(scheme_.name), field, "含有不成字符的字节，无法原样导出");
    return utf8;
  }
  void Text(const Field& field, const std::string& gbk) {
    if (std::optional<std::string> utf8 = Utf8Of(field, gbk)) json_[field.key] = std::move(*utf8);
  }
  void Index(const Field& field, const std::optional<int>& value) {
    json_[field.key] = value ? Json(*value) : Json(nullptr);
  }

  std::size_t index_;
  const SchemeRecord& scheme_;
  Json json_ = Json::object();
  std::string error_;
};

// Reads one scheme's fields; stops at the first refusal.
class SchemeReader {
 public:
  SchemeReader(std::size_t index, const Json& json) : index_(index), json_(json) {
    const auto name = json.find(kName.key);
    if (name != json.end() && name->is_string()) nameUtf8_ = name->get<std::string>();
  }

  SchemeRecord Read() {
    SchemeRecord s;
    Text(kName, s.name);
    if (Text(kCategory, s.category)) {
      s.category = Trim(s.category);
      if (s.category.find_first_of("<>\r\n") != std::string::npos) {
        Refuse(kCategory, "含有 < 、> 或换行，类别列表中存不下这样的名称");
      }
    }
    if (const Json* encoding = Find(kEncoding)) {
      if (encoding->is_string() && EqualAsciiCaseFree(encoding->get_ref<const std::string&>(), "GBK")) {
        s.gbk = true;
      } else if (encoding->is_string() &&
                 EqualAsciiCaseFree(encoding->get_ref<const std::string&>(), "UTF-8")) {
        s.gbk = false;
      } else {
        Refuse(kEncoding, "应为 \"GBK\" 或 \"UTF-8\"");
      }
    }
    Text(kUrl, s.url);
    Text(kAgent, s.agent);
    Text(kCookie, s.cookie, /*required=*/false);
    Text(kBefore, s.before);
    Text(kAfter, s.after);
    if (Text(kExpression, s.expression)) {
      if (const std::optional<std::string> error = PatternError(s.expression)) {
        Refuse(kExpression, "无法编译：" + *error);
      }
    }
    if (const Json* mode = Find(kMode)) {
      const std::string name = mode->is_string() ? mode->get<std::string>() : std::string();
      if (name == kNewestOnTopName) {
        s.mode = kNewestOnTop;
      } else if (name == kNewestAtBottomName) {
        s.mode = kNewestAtBottom;
      } else if (name == kRisingIdName) {
        s.mode = kRisingId;
      } else {
        Refuse(kMode, "应为 时间倒序、时间正序 或 比较文章ID");
      }
    }
    Index(kTitleIndex, s.titleIndex);
    Index(kIdIndex, s.idIndex);
    Index(kSpareIndex, s.spareIndex);
    Text(kTemplate, s.urlTemplate);
    Options(s.options);
    return s;
  }

  const std::string& Error() const { return error_; }

 private:
  void Refuse(const Field& field, std::string_view what) {
    if (error_.empty()) error_ = Problem(index_, nameUtf8_, field, what);
  }

  // The field, or nothing (and the refusal) when the scheme lacks it.
  const Json* Find(const Field& field, bool required = true) {
    if (!error_.empty()) return nullptr;
    const auto found = json_.find(field.key);
    if (found != json_.end()) return &*found;
    if (required) Refuse(field, "缺失");
    return nullptr;
  }

  std::optional<std::string> Gbk(const Field& field, const Json& value, std::string_view what = {}) {
    if (!value.is_string()) {
      Refuse(field, std::string(what) + "应为文字");
      return std::nullopt;
    }
    const std::string& utf8 = value.get_ref<const std::string&>();
    std::optional<std::string> gbk = ExactGbk(utf8);
    if (!gbk) {
      Refuse(field, std::string(what) + "含有 GBK 中没有的字符「" + FirstCharacterWithoutGbk(utf8) + "」");
    }
    return gbk;
  }

  bool Text(const Field& field, std::string& out, bool required = true) {
    const Json* value = Find(field, required);
    if (value == nullptr) return false;
    std::optional<std::string> gbk = Gbk(field, *value);
    if (!gbk) return false;
    out = std::move(*gbk);
    return true;
  }

  // A group number: a whole number, the same as digits in a text, or null (or "") for a box left empty.
  void Index(const Field& field, std::optional<int>& out) {
    const Json* value = Find(field);
    if (value == nullptr || value->is_null()) return;
    if (value->is_number_unsigned()) {
      if (value->get<std::uint64_t>() <= INT_MAX) {
        out = static_cast<int>(value->get<std::uint64_t>());
        return;
      }
    } else if (value->is_number_integer()) {
      if (value->get<std::int64_t>() >= INT_MIN) {
        out = static_cast<int>(value->get<std::int64_t>());
        return;
      }
    } else if (value->is_string()) {
      std::string_view text = value->get_ref<const std::string&>();
      if (text.empty()) return;
      const bool negative = text.front() == '-';
      if (negative) text.remove_prefix(1);
      if (!text.empty() && text.size() <= 9 &&
          std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        out = (negative ? -1 : 1) * std::stoi(std::string(text));
        return;
      }
    }
    Refuse(field, "不是数字（应为整数，留空写 null）");
  }

  void Options(SchemeOptions& out) {
    const Json* options = Find(kOptions, /*required=*/false);
    if (options == nullptr) return;
    if (!options->is_object()) {
      Refuse(kOptions, "应为名称与文字的对照（JSON 对象）");
      return;
    }
    for (const auto& [key, value] : options->items()) {
      const std::string label = "「" + key + "」";
      const std::optional<std::string> name = Gbk(kOptions, Json(key), label);
      const std::optional<std::string> text = Gbk(kOptions, value, label);
      if (!name || !text) return;
      if (!name->empty() && !text->empty()) out[*name] = *text;
    }
    // Keyword lists are checked as the editor checks them on save: a file brings no expression that could
    // not have been typed.
    for (const std::string_view list : {kWatchOption, kMuteOption}) {
      const auto found = out.find(std::string(list));
      if (found == out.end()) continue;
      if (const std::optional<KeywordProblem> problem = CheckKeywordLines(found->second)) {
        Refuse(kOptions, "「" + std::string(list) + "」第 " + std::to_string(problem->line) + " 行「" +
                             GbkToUtf8(problem->text) + "」无法编译：" + GbkToUtf8(problem->reason));
        return;
      }
    }
  }

  std::size_t index_;
  const Json& json_;
  std::string nameUtf8_;
  std::string error_;
};

SchemeFileContents Refused(std::string_view utf8Message) { return {{}, Utf8ToGbk(utf8Message)}; }

}  // namespace

SchemeFileText WriteSchemeFile(const std::vector<SchemeRecord>& schemes, bool withCookie) {
  Json list = Json::array();
  for (std::size_t i = 0; i < schemes.size(); ++i) {
    SchemeWriter writer(i, schemes[i]);
    Json scheme = writer.Write(withCookie);
    if (!writer.Error().empty()) return {{}, writer.Error()};
    list.push_back(std::move(scheme));
  }
  Json file = Json::object();
  file["format"] = kFormat;
  file["version"] = kSchemeFileVersion;
  file["schemes"] = std::move(list);
  // Two spaces of indent, characters as they are (not \u escapes), a final line break.
  return {file.dump(2) + "\n", {}};
}

SchemeFileContents ReadSchemeFile(std::string_view bytes) {
  if (bytes.size() > kSchemeFileLimit) {
    return Refused("文件超过 " + std::to_string(kSchemeFileLimit >> 20) + " MiB，不是方案文件");
  }
  Json file;
  try {
    file = Json::parse(bytes.begin(), bytes.end());
  } catch (const Json::parse_error& e) {
    return Refused("文件不是 UTF-8 的 JSON 文本（第 " + std::to_string(e.byte) + " 字节处出错）");
  } catch (const Json::exception&) {
    // A number too large for any type the parser keeps.
    return Refused("文件中有超出范围的数字，不是方案文件");
  }
  const auto format = file.is_object() ? file.find("format") : file.end();
  if (!file.is_object() || format == file.end() || *format != kFormat) {
    return Refused("这不是方案文件：缺少 \"format\": \"quillwatch-schemes\"");
  }
  const auto version = file.find("version");
  if (version == file.end() || !version->is_number_integer())
    return Refused("方案文件缺少格式版本（version）");
  if (version->is_number_unsigned() && version->get<std::uint64_t>() > kSchemeFileVersion) {
    return Refused("方案文件的格式版本是 " + version->dump() + "，比本程序新（本程序读取版本 " +
                   std::to_string(kSchemeFileVersion) + "），请先升级本程序");
  }
  if (version->get<std::int64_t>() < 1) return Refused("方案文件的格式版本 " + version->dump() + " 无效");
  const auto list = file.find("schemes");
  if (list == file.end() || !list->is_array()) return Refused("方案文件缺少方案列表（schemes）");

  SchemeFileContents contents;
  for (std::size_t i = 0; i < list->size(); ++i) {
    const Json& entry = (*list)[i];
    if (!entry.is_object()) return Refused("第 " + std::to_string(i + 1) + " 个方案不是 JSON 对象");
    SchemeReader reader(i, entry);
    SchemeRecord scheme = reader.Read();
    if (!reader.Error().empty()) return {{}, reader.Error()};
    contents.schemes.push_back(std::move(scheme));
  }
  return contents;
}

}  // namespace qw
