// Recursive descent whose recursion is bounded by kJsonDepthLimit, not by the input length.
#include "update/StrictJson.h"

#include <cstdlib>
#include <utility>

#include "common/JsonText.h"

namespace wrenpost {
namespace {

bool IsJsonSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    bool ParseDocument(JsonValue& out, std::string& error) {
        SkipSpace();
        if (!ParseValue(out, 0)) {
            error = error_;
            return false;
        }
        SkipSpace();
        if (pos_ != text_.size()) {
            error = "unexpected text after the JSON value at byte " + std::to_string(pos_);
            return false;
        }
        return true;
    }

private:
    bool Fail(const char* what) {
        error_ = std::string(what) + " at byte " + std::to_string(pos_);
        return false;
    }

    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return text_[pos_]; }

    void SkipSpace() {
        while (!AtEnd() && IsJsonSpace(Peek())) {
            ++pos_;
        }
    }

    bool ParseValue(JsonValue& out, int depth) {
        if (depth >= kJsonDepthLimit) {
            return Fail("nesting too deep");
        }
        if (AtEnd()) {
            return Fail("missing value");
        }
        switch (Peek()) {
            case '{':
                return ParseObject(out, depth);
            case '[':
                return ParseArray(out, depth);
            case '"':
                out.kind = JsonKind::String;
                return ParseString(out.text);
            case 't':
                out.kind = JsonKind::Bool;
                out.boolean = true;
                return ParseWord("true");
            case 'f':
                out.kind = JsonKind::Bool;
                out.boolean = false;
                return ParseWord("false");
            case 'n':
                out.kind = JsonKind::Null;
                return ParseWord("null");
            default:
                if (Peek() == '-' || IsDigit(Peek())) {
                    out.kind = JsonKind::Number;
                    return ParseNumber(out.number);
                }
                return Fail("unexpected character");
        }
    }

    bool ParseWord(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) {
            return Fail("invalid literal");
        }
        pos_ += word.size();
        return true;
    }

    bool ParseNumber(double& out) {
        const std::size_t start = pos_;
        if (Peek() == '-') {
            ++pos_;
        }
        if (AtEnd() || !IsDigit(Peek())) {
            return Fail("invalid number");
        }
        if (Peek() == '0') {
            ++pos_;
        } else {
            while (!AtEnd() && IsDigit(Peek())) {
                ++pos_;
            }
        }
        if (!AtEnd() && Peek() == '.') {
            ++pos_;
            if (AtEnd() || !IsDigit(Peek())) {
                return Fail("invalid number");
            }
            while (!AtEnd() && IsDigit(Peek())) {
                ++pos_;
            }
        }
        if (!AtEnd() && (Peek() == 'e' || Peek() == 'E')) {
            ++pos_;
            if (!AtEnd() && (Peek() == '+' || Peek() == '-')) {
                ++pos_;
            }
            if (AtEnd() || !IsDigit(Peek())) {
                return Fail("invalid number");
            }
            while (!AtEnd() && IsDigit(Peek())) {
                ++pos_;
            }
        }
        // The grammar above already fixed the token, so strtod (classic locale: the program
        // never changes it) only converts; out-of-range values become +-HUGE_VAL or 0.
        const std::string token(text_.substr(start, pos_ - start));
        out = std::strtod(token.c_str(), nullptr);
        return true;
    }

    bool ParseString(std::string& out) {
        auto decoded =
            UnescapeJsonString(text_.substr(pos_ + 1), {.nonAsciiStandIn = '?', .strict = true});
        pos_ += 1 + decoded.end;
        if (decoded.error != nullptr) {
            return Fail(decoded.error);
        }
        out = std::move(decoded.text);
        return true;
    }

    bool ParseArray(JsonValue& out, int depth) {
        out.kind = JsonKind::Array;
        ++pos_;  // '['
        SkipSpace();
        if (!AtEnd() && Peek() == ']') {
            ++pos_;
            return true;
        }
        while (true) {
            SkipSpace();
            out.items.emplace_back();
            if (!ParseValue(out.items.back(), depth + 1)) {
                return false;
            }
            SkipSpace();
            if (AtEnd()) {
                return Fail("unterminated array");
            }
            if (Peek() == ',') {
                ++pos_;
                continue;
            }
            if (Peek() == ']') {
                ++pos_;
                return true;
            }
            return Fail("expected ',' or ']'");
        }
    }

    bool ParseObject(JsonValue& out, int depth) {
        out.kind = JsonKind::Object;
        ++pos_;  // '{'
        SkipSpace();
        if (!AtEnd() && Peek() == '}') {
            ++pos_;
            return true;
        }
        while (true) {
            SkipSpace();
            if (AtEnd() || Peek() != '"') {
                return Fail("expected member name");
            }
            out.names.emplace_back();
            if (!ParseString(out.names.back())) {
                return false;
            }
            SkipSpace();
            if (AtEnd() || Peek() != ':') {
                return Fail("expected ':'");
            }
            ++pos_;
            SkipSpace();
            out.items.emplace_back();
            if (!ParseValue(out.items.back(), depth + 1)) {
                return false;
            }
            SkipSpace();
            if (AtEnd()) {
                return Fail("unterminated object");
            }
            if (Peek() == ',') {
                ++pos_;
                continue;
            }
            if (Peek() == '}') {
                ++pos_;
                return true;
            }
            return Fail("expected ',' or '}'");
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::string error_;
};

}  // namespace

const JsonValue* JsonValue::Find(std::string_view name) const {
    if (kind != JsonKind::Object) {
        return nullptr;
    }
    for (std::size_t i = names.size(); i > 0; --i) {
        if (names[i - 1] == name) {
            return &items[i - 1];
        }
    }
    return nullptr;
}

bool ParseStrictJson(std::string_view text, JsonValue& out, std::string& error) {
    JsonValue parsed;
    Parser parser(text);
    if (!parser.ParseDocument(parsed, error)) {
        return false;
    }
    out = std::move(parsed);
    return true;
}

}  // namespace wrenpost
