#include "platform/windows_command_line.h"

namespace zenvira::platform {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Splits as Windows does, byte by byte (UTF-8 continuation bytes are never blanks, quotes or
// backslashes, so multi-byte characters pass through whole).
class Splitter {
public:
    explicit Splitter(std::string_view text) : text_(text) {}

    std::vector<std::string> run() {
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (isBlank(c) && quotes_ == 0) {
                finishArgument();
                ++pos_;
            } else if (c == '\\') {
                takeBackslashes();
            } else if (c == '"') {
                takeQuotes();
            } else {
                current_ += c;
                inArgument_ = true;
                ++pos_;
            }
        }
        finishArgument();
        return std::move(arguments_);
    }

private:
    void finishArgument() {
        if (inArgument_) arguments_.push_back(std::move(current_));
        current_.clear();
        inArgument_ = false;
    }

    // A run of backslashes: literal unless a double quote follows it.
    void takeBackslashes() {
        std::size_t count = 0;
        while (pos_ < text_.size() && text_[pos_] == '\\') {
            ++count;
            ++pos_;
        }
        inArgument_ = true;
        if (pos_ >= text_.size() || text_[pos_] != '"') {
            current_.append(count, '\\');
            return;
        }
        current_.append(count / 2, '\\');
        if (count % 2 == 1) {
            current_ += '"';
            ++pos_;
            return;
        }
        takeQuotes();
    }

    // A run of double quotes. Each opens or closes a quoted part; a quote that directly
    // follows a closing one (the third of a run inside quotes) stands for itself.
    void takeQuotes() {
        inArgument_ = true;
        ++quotes_;
        ++pos_;
        while (pos_ < text_.size() && text_[pos_] == '"') {
            if (++quotes_ == 3) {
                current_ += '"';
                quotes_ = 0;
            }
            ++pos_;
        }
        if (quotes_ == 2) quotes_ = 0;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    int quotes_ = 0;  // 1 inside a quoted part, 0 outside
    bool inArgument_ = false;
    std::string current_;
    std::vector<std::string> arguments_;
};

}  // namespace

std::vector<std::string> splitWindowsArguments(std::string_view arguments) {
    return Splitter(arguments).run();
}

}  // namespace zenvira::platform
