#include "records/PageParts.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <stdexcept>

#include "records/PageTemplates.h"
#include "records/RecordKeys.h"

namespace page {

namespace {

// The entity a character is escaped to in HTML, or none.
const char* EntityOf(char c) {
  switch (c) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '"':
      return "&quot;";
    case '\'':
      return "&apos;";
    default:
      return nullptr;
  }
}

// Escapes for HTML as the library's own escaping does, but copies the runs between those
// characters whole: a page of thousands of runs escapes megabytes.
std::string Escaped(const std::string& text) {
  std::string escaped;
  std::size_t from = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (const char* entity = EntityOf(text[at])) {
      if (from == 0) escaped.reserve(text.size() + 16);
      escaped.append(text, from, at - from);
      escaped += entity;
      from = at + 1;
    }
  }
  if (from == 0) return text;
  escaped.append(text, from);
  return escaped;
}

// Whether a template has a tag that shows its value as it is, unescaped: `{{{name}}}` or
// `{{&name}}`, spaces allowed after the braces.
bool AsksForRawValue(std::string_view pageTemplate) {
  for (std::size_t at = pageTemplate.find("{{"); at != std::string_view::npos;
       at = pageTemplate.find("{{", at + 2)) {
    const std::size_t sigil = pageTemplate.find_first_not_of(' ', at + 2);
    if (sigil != std::string_view::npos &&
        (pageTemplate[sigil] == '{' || pageTemplate[sigil] == '&')) {
      return true;
    }
  }
  return false;
}

// Where the renderer writes: straight on the end of the page.
struct PageText {
  std::string& text;
  PageText& operator<<(const std::string& part) {
    text += part;
    return *this;
  }
};

}  // namespace

std::string Render(std::string_view pageTemplate, const Data& data) {
  // Each template is compiled once; an index renders one of them for every run.
  static std::mutex lock;
  static std::map<const char*, kainjow::mustache::mustache> compiled;
  // The stylesheet is looked up beside the data rather than copied into it.
  static const Data style("style",
                          kainjow::mustache::partial([] { return std::string(kPageStyle); }));
  const std::lock_guard<std::mutex> held(lock);
  auto found = compiled.find(pageTemplate.data());
  if (found == compiled.end()) {
    if (AsksForRawValue(pageTemplate)) {
      throw std::logic_error("page template: a value shown without escaping");
    }
    found = compiled.try_emplace(pageTemplate.data(), std::string(pageTemplate)).first;
    if (!found->second.is_valid()) {
      // The templates are the program's own: a broken one is a fault of this build.
      throw std::logic_error("page template: " + found->second.error_message());
    }
    found->second.set_custom_escape(Escaped);
  }
  kainjow::mustache::context<std::string> context(&data);
  context.push(&style);
  std::string page;
  PageText out{page};
  found->second.render(context, out);
  return page;
}

void SetCut(Data& data, const std::string& name, const std::string& shown, std::size_t longest) {
  // Counted in characters: the bytes that continue one are not counted.
  std::size_t characters = 0;
  std::size_t cut = shown.size();  // where the longest-th character starts
  for (std::size_t at = 0; at < shown.size(); ++at) {
    if ((static_cast<unsigned char>(shown[at]) & 0xC0) == 0x80) continue;
    if (++characters == longest) cut = at;
  }
  if (characters <= longest) {
    data[name] = Data(shown);
    data[name + "Title"] = Data(false);
    return;
  }
  data[name] = Data(shown.substr(0, cut) + "\xE2\x80\xA6");  // an ellipsis ends the longest
  data[name + "Title"] = Data(shown);
}

std::string ShownDate(std::string_view iso) {
  // 2024-05-01T10:11:12+02:00
  if (iso.size() == 25 && iso[10] == 'T') {
    return ShownText(std::string(iso.substr(0, 10)) + " " + std::string(iso.substr(11, 8)) + " " +
                     std::string(iso.substr(19)));
  }
  return ShownText(iso);
}

std::string ResultClass(const RecordedRun& run) {
  if (run.how == run_end::kCompleted) return "completed";
  if (run.how == run_end::kFailed) return "failed";
  return "other";
}

std::string LinkTo(std::string_view fileName) {
  std::string link;
  for (const char c : fileName) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~';
    if (plain) {
      link.push_back(c);
      continue;
    }
    char code[4];
    std::snprintf(code, sizeof code, "%%%02X", static_cast<unsigned char>(c));
    link += code;
  }
  return link;
}

std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::filesystem::path PathOf(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace page
