#include "run/PageParts.h"

#include <cstdio>

#include "run/PageTemplates.h"

namespace page {

std::string Render(std::string_view pageTemplate, const Data& data) {
  kainjow::mustache::mustache compiled{std::string(pageTemplate)};
  if (!compiled.is_valid()) {
    // The templates are the program's own: a broken one is a fault of this build.
    throw std::logic_error("page template: " + compiled.error_message());
  }
  Data withStyle = data;
  withStyle.set("style", kainjow::mustache::partial([] { return std::string(kPageStyle); }));
  return compiled.render(withStyle);
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
  if (run.how == "completed") return "completed";
  if (run.how == "failed") return "failed";
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
