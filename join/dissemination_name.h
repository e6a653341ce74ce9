#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace segweld {

// A file name of the dissemination convention: 61 characters, eight
// '_'-filled fields separated by '-', for example
// H-000-MSG1__-MSG1________-IR_108___-000001___-200706151200-C_.
class DisseminationName {
  public:
    enum class Field {
        Quality,       // "H" or "L": high or low rate
        Version,       // "000"
        Disseminator,  // "MSG1__": the satellite that disseminates
        Source,        // "MSG1________": the satellite or service that made the data
        Channel,       // "IR_108___"; all '_' for a prologue or an epilogue
        Segment,       // "000001___", "PRO______", "EPI______"
        Time,          // "200706151200": the nominal time, YYYYMMDDhhmm
        Flags,         // "C_": compressed, encrypted
    };
    enum class Kind { Segment, Prologue, Epilogue, Other };

    static constexpr size_t kLength = 61;

    // Nullopt unless `name` is exactly such a name.
    static std::optional<DisseminationName> Parse(std::string_view name);

    const std::string& name() const { return name_; }
    std::string_view field(Field field) const;
    Kind kind() const { return kind_; }
    // The segment number for a Segment; -1 otherwise.
    int32_t segmentNumber() const { return segmentNumber_; }

    // The same name with `field` replaced by `value`, padded with '_' (or
    // cut) to the field's width.
    std::string With(Field field, std::string_view value) const;
    // The name with the segment number masked by "??????": equal for every
    // segment of one product.
    std::string Masked() const;
    // The name with the whole of each of `fields` masked by '?'.
    std::string MaskedFields(std::initializer_list<Field> fields) const;

  private:
    explicit DisseminationName(std::string_view name);

    std::string name_;
    Kind kind_ = Kind::Other;
    int32_t segmentNumber_ = -1;
};

// The segment number of `name` when it is exactly a segment name of the
// dissemination convention, compressed (NAME.bz2, NAME.gz, NAME.xz) or not;
// -1 otherwise (prologues, epilogues, hidden files, temporaries such as
// NAME.tmp or .NAME.XXXX, joined outputs).
int32_t SegmentNumberInName(std::string_view name);

// The key that groups the segments of one product: the name with its segment
// number masked ("...-IR_108___-??????___-..."), the same whether the file is
// compressed or not. Names that are not segment names are returned as they
// are.
std::string MaskedName(std::string_view name);

}  // namespace segweld
