#pragma once

#include <optional>
#include <string_view>

namespace segweld {

// Splits a text at one separator character the way strtok does (separators at
// the start are skipped, a run of separators counts as one, tokens are never
// empty), but keeps its position in the object instead of in hidden global
// state, so any number of splits may run side by side.
class TokenSplitter {
  public:
    TokenSplitter(std::string_view text, char separator) : text_(text), separator_(separator) {}

    std::optional<std::string_view> Next() {
        while (position_ < text_.size() && text_[position_] == separator_) {
            ++position_;
        }
        if (position_ >= text_.size()) {
            return std::nullopt;
        }
        const size_t start = position_;
        while (position_ < text_.size() && text_[position_] != separator_) {
            ++position_;
        }
        return text_.substr(start, position_ - start);
    }

  private:
    std::string_view text_;
    char separator_;
    size_t position_ = 0;
};

}  // namespace segweld
