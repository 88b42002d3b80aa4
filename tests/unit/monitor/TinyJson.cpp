// Strict recursive-descent JSON parser for test assertions (inputs are small and trusted).
#include "TinyJson.h"

#include <cwchar>

namespace wrenpost::testing {
namespace {

class Parser {
public:
    explicit Parser(std::wstring_view text) : text_(text) {}

    std::optional<JsonValue> ParseDocument() {
        JsonValue value;
        if (!ParseValue(value, 0)) {
            return std::nullopt;
        }
        SkipSpace();
        if (pos_ != text_.size()) {
            return std::nullopt;
        }
        return value;
    }

private:
    void SkipSpace() {
        while (pos_ < text_.size() && (text_[pos_] == L' ' || text_[pos_] == L'\t' ||
                                       text_[pos_] == L'\n' || text_[pos_] == L'\r')) {
            ++pos_;
        }
    }
    bool Literal(std::wstring_view word) {
        if (text_.substr(pos_, word.size()) != word) {
            return false;
        }
        pos_ += word.size();
        return true;
    }
    bool ParseValue(JsonValue& out, int depth) {
        if (depth > 64) {
            return false;
        }
        SkipSpace();
        if (pos_ >= text_.size()) {
            return false;
        }
        const wchar_t c = text_[pos_];
        if (c == L'{') {
            return ParseObject(out, depth);
        }
        if (c == L'[') {
            return ParseArray(out, depth);
        }
        if (c == L'"') {
            out.kind = JsonValue::Kind::String;
            return ParseString(out.text);
        }
        if (Literal(L"true")) {
            out.kind = JsonValue::Kind::Bool;
            out.boolean = true;
            return true;
        }
        if (Literal(L"false")) {
            out.kind = JsonValue::Kind::Bool;
            return true;
        }
        if (Literal(L"null")) {
            return true;
        }
        return ParseNumber(out);
    }
    bool ParseNumber(JsonValue& out) {
        const std::size_t start = pos_;
        if (pos_ < text_.size() && text_[pos_] == L'-') {
            ++pos_;
        }
        if (pos_ >= text_.size() || !std::iswdigit(text_[pos_])) {
            return false;
        }
        if (text_[pos_] == L'0') {
            ++pos_;
        } else {
            while (pos_ < text_.size() && std::iswdigit(text_[pos_])) {
                ++pos_;
            }
        }
        if (pos_ < text_.size() && text_[pos_] == L'.') {
            ++pos_;
            if (pos_ >= text_.size() || !std::iswdigit(text_[pos_])) {
                return false;
            }
            while (pos_ < text_.size() && std::iswdigit(text_[pos_])) {
                ++pos_;
            }
        }
        out.kind = JsonValue::Kind::Number;
        out.number = std::wcstod(std::wstring(text_.substr(start, pos_ - start)).c_str(), nullptr);
        return true;
    }
    bool Hex4(unsigned& value) {
        if (pos_ + 4 > text_.size()) {
            return false;
        }
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const wchar_t h = text_[pos_++];
            value <<= 4;
            if (h >= L'0' && h <= L'9') {
                value |= h - L'0';
            } else if (h >= L'a' && h <= L'f') {
                value |= h - L'a' + 10;
            } else if (h >= L'A' && h <= L'F') {
                value |= h - L'A' + 10;
            } else {
                return false;
            }
        }
        return true;
    }
    bool ParseString(std::wstring& out) {
        ++pos_;  // opening quote
        while (pos_ < text_.size()) {
            const wchar_t c = text_[pos_++];
            if (c == L'"') {
                return true;
            }
            if (static_cast<unsigned long>(c) < 0x20) {
                return false;  // raw control characters are not allowed in JSON strings
            }
            if (c != L'\\') {
                out.push_back(c);
                continue;
            }
            if (pos_ >= text_.size()) {
                return false;
            }
            const wchar_t e = text_[pos_++];
            switch (e) {
                case L'"':
                    out.push_back(L'"');
                    break;
                case L'\\':
                    out.push_back(L'\\');
                    break;
                case L'/':
                    out.push_back(L'/');
                    break;
                case L'b':
                    out.push_back(L'\b');
                    break;
                case L'f':
                    out.push_back(L'\f');
                    break;
                case L'n':
                    out.push_back(L'\n');
                    break;
                case L'r':
                    out.push_back(L'\r');
                    break;
                case L't':
                    out.push_back(L'\t');
                    break;
                case L'u': {
                    unsigned unit = 0;
                    if (!Hex4(unit)) {
                        return false;
                    }
                    out.push_back(static_cast<wchar_t>(unit));
                    break;
                }
                default:
                    return false;
            }
        }
        return false;
    }
    bool ParseArray(JsonValue& out, int depth) {
        out.kind = JsonValue::Kind::Array;
        ++pos_;
        SkipSpace();
        if (pos_ < text_.size() && text_[pos_] == L']') {
            ++pos_;
            return true;
        }
        while (true) {
            JsonValue item;
            if (!ParseValue(item, depth + 1)) {
                return false;
            }
            out.items.push_back(std::move(item));
            SkipSpace();
            if (pos_ < text_.size() && text_[pos_] == L',') {
                ++pos_;
                continue;
            }
            if (pos_ < text_.size() && text_[pos_] == L']') {
                ++pos_;
                return true;
            }
            return false;
        }
    }
    bool ParseObject(JsonValue& out, int depth) {
        out.kind = JsonValue::Kind::Object;
        ++pos_;
        SkipSpace();
        if (pos_ < text_.size() && text_[pos_] == L'}') {
            ++pos_;
            return true;
        }
        while (true) {
            SkipSpace();
            if (pos_ >= text_.size() || text_[pos_] != L'"') {
                return false;
            }
            std::wstring key;
            if (!ParseString(key)) {
                return false;
            }
            SkipSpace();
            if (pos_ >= text_.size() || text_[pos_] != L':') {
                return false;
            }
            ++pos_;
            JsonValue value;
            if (!ParseValue(value, depth + 1)) {
                return false;
            }
            out.members.emplace_back(std::move(key), std::move(value));
            SkipSpace();
            if (pos_ < text_.size() && text_[pos_] == L',') {
                ++pos_;
                continue;
            }
            if (pos_ < text_.size() && text_[pos_] == L'}') {
                ++pos_;
                return true;
            }
            return false;
        }
    }

    std::wstring_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

std::optional<JsonValue> ParseJson(std::wstring_view text) {
    return Parser(text).ParseDocument();
}

}  // namespace wrenpost::testing
