// segweld-info's option table: the one list of its options, from which the
// parser, --help, the man page and the bash completion are made. To add an
// option, add a row (its modes say where it is accepted) and the field of
// InfoOptions that its apply step sets.
#include "tools/info/info_options.h"

#include "cli/command_line.h"

namespace segweld::info {
namespace {

using cli::Completion;
using cli::ModeBit;
using Words = std::vector<std::string>;

enum : int { kHeadersMode, kSeriesMode, kPreviewMode };

const cli::Option<InfoOptions> kOptions[] = {
    {{.name = "json",
      .modes = ModeBit(kHeadersMode) | ModeBit(kSeriesMode),
      .help = "print JSON instead of tables (its shape is in the man page)",
      .manual = "Print JSON instead of tables. Beside the raw header fields it gives the "
                "nominal time and the time stamp as ISO 8601 UTC times and the segment "
                "identification under labelled keys, and a *schema* number names its shape "
                "(see *JSON*)."},
     [](InfoOptions& o, const Words&) { return o.json = true; }},
    {{.name = "series",
      .modes = ModeBit(kSeriesMode),
      .selects = kSeriesMode,
      .help = "walk the product that FILE belongs to as segweld would and tell which "
              "segments are present, refused, damaged or missing, reading headers only",
      .manual = "Walk the product that _FILE_ belongs to as *segweld* would, reading headers "
                "only, and tell which segments are present, refused, damaged or missing, and "
                "which segment files lie beyond a gap that the join will not reach."},
     [](InfoOptions& o, const Words&) {
         o.mode = InfoMode::Series;
         return true;
     }},
    {{.name = "preview",
      .value = "OUT.png",
      .modes = ModeBit(kPreviewMode),
      .selects = kPreviewMode,
      .rule = "the name of the PNG file to write",
      .completion = Completion::File,
      .extension = "png",
      .help = "write the product's picture to OUT.png, north up, reduced to at most 1024 "
              "pixels a side; segments that are not joined show as black bands; data fields "
              "compressed with wavelets or JPEG are not decoded",
      .manual = "Write the product's picture to _OUT.png_, north up, reduced to at most 1024 "
                "pixels a side. Segments that would not be joined show as black bands. "
                "Data fields compressed with wavelets or JPEG are not decoded and are refused; "
                "segment files stored compressed whole are decompressed as they are read."},
     [](InfoOptions& o, const Words& w) {
         o.mode = InfoMode::Preview;
         o.previewPath = w[0];
         return true;
     }},
    {{.name = "help",
      .shortName = 'h',
      .answersAtOnce = true,
      .help = "print this help and exit; after --series or --preview, print the help of that "
              "mode alone",
      .manual = "Print the usage and the options and exit; after *--series* or *--preview*, "
                "those of that mode alone."},
     [](InfoOptions& o, const Words&) {
         o.mode = InfoMode::Help;
         return true;
     }},
    {{.name = "version",
      .answersAtOnce = true,
      .help = "print the version and exit",
      .manual = "Print the version and exit."},
     [](InfoOptions& o, const Words&) {
         o.mode = o.mode == InfoMode::Help ? o.mode : InfoMode::Version;
         return true;
     }},
};

cli::ProgramSpec MakeProgram() {
    cli::ProgramSpec program;
    program.name = "segweld-info";
    program.modes = {
        {.title = "the header dump",
         .paths = {"FILE"},
         .pathCompletion = {Completion::File},
         .morePaths = true},
        {.title = "--series",
         .paths = {"FILE"},
         .pathCompletion = {Completion::File},
         .summary = "Walks the product that FILE belongs to as segweld would, reading headers "
                    "only (segment files stored compressed are decompressed to see what they "
                    "hold), and tells which segments are present, refused, damaged or missing, "
                    "and which segment files lie beyond a gap that the join will not reach."},
        {.title = "--preview",
         .paths = {"FILE"},
         .pathCompletion = {Completion::File},
         .summary = "Writes the picture of the product that FILE belongs to into OUT.png, "
                    "north up, reduced to at most 1024 pixels a side; segments that are not "
                    "joined show as black bands; data fields compressed with wavelets or JPEG "
                    "are not decoded."},
    };
    program.options = cli::SpecsOf(kOptions);
    program.moreUsage = {"segweld-info --help | --version"};
    program.description =
        "Inspects HRIT/LRIT segment files. Given files alone, it prints every field of each "
        "file's header, or why the header was refused.";
    program.exitStatus =
        "Exit status: 0 every header accepted, the product complete and undamaged, or the "
        "preview written; 1 a header refused, the product incomplete or damaged, a read error, "
        "or no preview written; 2 bad arguments.";
    return program;
}

std::string CheckFiles(const InfoOptions& options, int mode) {
    if (options.files.empty()) {
        return "no FILE given";
    }
    if (mode != kHeadersMode && options.files.size() > 1) {
        return "extra argument '" + options.files[1] +
               "': " + (mode == kSeriesMode ? "--series" : "--preview") + " takes exactly one FILE";
    }
    return "";
}

}  // namespace

const cli::ProgramSpec& InfoProgram() {
    static const cli::ProgramSpec program = MakeProgram();
    return program;
}

InfoOptions ParseInfoOptions(const std::vector<std::string>& arguments) {
    const cli::ProgramSpec& program = InfoProgram();
    const cli::Tokens tokens = cli::Tokenize(program, arguments);
    const cli::Checked checked = cli::CheckTokens(program, tokens);
    InfoOptions options;
    options.tableMode = checked.mode;
    options.files = tokens.paths;
    const std::vector<cli::Given> answers = cli::AnswersAtOnce(program, tokens);
    options.error = answers.empty() ? checked.error : "";
    if (!answers.empty()) {
        cli::ApplyAll(kOptions, answers, options);
    } else if (options.error.empty()) {
        options.error = cli::ApplyAll(kOptions, checked.accepted, options);
    }
    if (options.mode == InfoMode::Help || options.mode == InfoMode::Version) {
        options.error.clear();
    } else if (options.error.empty()) {
        options.error = CheckFiles(options, checked.mode);
    }
    return options;
}

}  // namespace segweld::info
