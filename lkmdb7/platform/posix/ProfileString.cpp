#include "lkmdb7/platform/internal/ProfileString.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "lkmdb7/platform/Exceptions.h"

namespace LKMDB7::detail {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// Copies text cut to size - 1 bytes and terminates it. A zero byte ends the text, so the count
// returned is always the length of the C string in out.
DWORD CopyOut(std::string_view text, char* out, DWORD size) {
    const std::size_t zero = text.find('\0');
    if (zero != std::string_view::npos) {
        text = text.substr(0, zero);
    }
    const std::size_t n = text.size() < size ? text.size() : std::size_t{size} - 1;
    if (n > 0) {
        std::memcpy(out, text.data(), n);
    }
    out[n] = '\0';
    return static_cast<DWORD>(n);
}

// Lines of a file, one buffer at a time, so that a search can stop at its first match. LF, CR
// and CRLF all end a line (CRLF gives an empty line more, which no caller minds). A read error
// ends the file where it happened.
class LineReader {
  public:
    explicit LineReader(std::FILE* file) : file_(file) {}

    // The next line without its end; false once the file is exhausted.
    bool Next(std::string& line) {
        line.clear();
        bool any = false;
        for (;;) {
            if (pos_ == len_) {
                len_ = std::fread(buffer_, 1, sizeof buffer_, file_);
                pos_ = 0;
                if (len_ == 0) {
                    return any;
                }
            }
            any = true;
            std::size_t end = pos_;
            while (end < len_ && buffer_[end] != '\n' && buffer_[end] != '\r') {
                ++end;
            }
            line.append(buffer_ + pos_, end - pos_);
            if (end < len_) {
                pos_ = end + 1;
                return true;
            }
            pos_ = len_;
        }
    }

  private:
    std::FILE* file_;
    char buffer_[4096];
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
};

class File {
  public:
    explicit File(const char* name) : file_(std::fopen(name, "rb")) {}
    ~File() {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    std::FILE* get() const { return file_; }

  private:
    std::FILE* file_;
};

// The value of key in the first section named section, or false when there is none.
bool FindValue(std::FILE* file, std::string_view section, std::string_view key,
               std::string& value) {
    LineReader reader(file);
    std::string line;
    bool first = true;
    bool inSection = false;
    while (reader.Next(line)) {
        std::string_view text = line;
        if (first && text.substr(0, 3) == "\xEF\xBB\xBF") {
            text.remove_prefix(3);
        }
        first = false;
        text = Trim(text);
        if (text.empty()) {
            continue;
        }
        if (text.front() == '[') {
            const std::size_t close = text.rfind(']');
            if (close != std::string_view::npos) {
                if (inSection) {
                    return false;  // only the first section of the name counts
                }
                inSection = EqualNoCase(Trim(text.substr(1, close - 1)), section);
                continue;
            }
        }
        if (!inSection || text.front() == ';') {
            continue;
        }
        const std::size_t equals = text.find('=');
        if (equals == std::string_view::npos || !EqualNoCase(Trim(text.substr(0, equals)), key)) {
            continue;
        }
        std::string_view v = Trim(text.substr(equals + 1));
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
            v = v.substr(1, v.size() - 2);
        }
        value.assign(v);
        return true;
    }
    return false;
}

}  // namespace

DWORD ReadProfileString(const char* section, const char* key, const char* defaultValue, char* out,
                        DWORD size, const char* fileName) {
    try {
        const File file(fileName);
        std::string value;
        if (file.get() != nullptr && FindValue(file.get(), Trim(section), Trim(key), value)) {
            return CopyOut(value, out, size);
        }
    } catch (const std::bad_alloc&) {
        AfxThrowMemoryException();
    }
    // Windows drops blanks at the end of the default (but not tabs).
    std::string_view fallback = defaultValue != nullptr ? defaultValue : "";
    while (!fallback.empty() && fallback.back() == ' ') {
        fallback.remove_suffix(1);
    }
    return CopyOut(fallback, out, size);
}

}  // namespace LKMDB7::detail
