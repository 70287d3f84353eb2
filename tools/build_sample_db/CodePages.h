// Windows code page of each language of the service data, and conversion of the
// UTF-8 source texts into it. Used by the sample-database builder only.
#pragma once

#include <iconv.h>

#include <string>
#include <string_view>

namespace sampledb {

/// Code page in which texts of the language are stored: the languages listed in
/// the table have their own, every other language uses 1252.
int CodePageOfLanguage(std::string_view langCode);

/// Converts UTF-8 text into one Windows code page. Not copyable.
class CodePageConverter {
public:
    /// Throws std::runtime_error when the platform cannot convert into the code page.
    explicit CodePageConverter(int codePage);
    ~CodePageConverter();
    CodePageConverter(const CodePageConverter&) = delete;
    CodePageConverter& operator=(const CodePageConverter&) = delete;

    /// The 8-bit bytes of `utf8`. Throws std::runtime_error naming the first
    /// character the code page cannot hold, or saying the input is not UTF-8.
    std::string Convert(std::string_view utf8) const;

    int CodePage() const { return codePage_; }

private:
    int codePage_;
    iconv_t cd_;
};

}  // namespace sampledb
