// segweld's option table: the one list of its options, from which the parser,
// --help, the man page and the bash completion are made.
//
// To add an option: add a row below (its modes say where it is accepted; the
// parser refuses it elsewhere with "X belongs to ..."), add the field that its
// apply step sets (in station::StationOptions for --batch and --watch), and
// let the mode use that field. Nothing else names options.
#include "app/segweld_options.h"

#include "cli/command_line.h"
#include "cli/config_file.h"
#include "geo/quantity.h"
#include "station/slot_key.h"

namespace segweld {
namespace {

using cli::Completion;
using cli::ModeBit;
using Words = std::vector<std::string>;

constexpr cli::ModeSet kImages = ModeBit(kGeoTiffJoin) | ModeBit(kNetCdfJoin);
constexpr cli::ModeSet kJoins = ModeBit(kSingleJoin) | kImages;
constexpr cli::ModeSet kBatch = ModeBit(kBatchMode);
constexpr cli::ModeSet kWatch = ModeBit(kWatchMode);
constexpr cli::ModeSet kStation = kBatch | kWatch;

const cli::Option<SegweldCommand> kOptions[] = {
    {{.name = "fill-gaps",
      .modes = kJoins | kStation,
      .help = "walk on past missing segments to the planned end that the segment "
              "identification gives, with zeros in their place",
      .manual = "Walk from the plan's first segment on past missing segments to the last "
                "segment that the segment identification plans, and put zeros of each missing "
                "segment's size in its place, so that every present segment lands at its place "
                "in the image. The output is named after the plan's first segment, so a later "
                "join with more segments replaces it. Warnings name the filled segments. "
                "Without a plan, for data compressed in the data field (wavelet, JPEG), or "
                "for a plan beyond a whole disk (a "
                "damaged field, which a warning names), *segweld* warns and joins as without "
                "this option."},
     [](SegweldCommand& c, const Words&) { return c.options.fillGaps = true; }},
    {{.name = "geotiff",
      .modes = ModeBit(kGeoTiffJoin) | kStation,
      .selects = kGeoTiffJoin,
      .yields = true,
      .help = "write the product's image as a georeferenced Cloud-Optimized GeoTIFF "
              "(\".tif\") instead of the joined data fields; with --batch or --watch, make "
              "every product a GeoTIFF",
      .manual =
          "Write the product as a Cloud-Optimized GeoTIFF instead of the joined data "
          "fields, named like the joined output with the extension *.tif*: north up and "
          "east right, in the geostationary projection given by the image navigation, "
          "HRV on its full-disk grid with its two windows placed, in the quantity "
          "*--calibration* names, with the segments that were not joined as nodata. The "
          "calibration and the correction of the georeferencing offset of older data are "
          "read from the product's prologue file, the HRV windows and scan time from its "
          "epilogue; without them, or with ones of another time slot or satellite, "
          "*segweld* warns and writes counts or the navigation as it stands. Segment, "
          "prologue and epilogue files stored compressed (*.bz2*, *.gz*, *.xz*) are read "
          "decompressed; products whose data fields are compressed (wavelet, JPEG), "
          "non-image and first-generation Meteosat (MTP) products are refused. The "
          "segments are read once, and nothing but the GeoTIFF is written: it appears and "
          "replaces an older one as the joined output does; SIGINT, SIGTERM and SIGHUP "
          "stop the run with nothing left behind. A run ends with the result line that "
          "*--batch* prints, and shows its progress on a terminal. With *--batch* or *--watch*, "
          "every product becomes its GeoTIFF under the same rules, its prologue and "
          "epilogue counting among its files. Available only in builds with GDAL."},
     [](SegweldCommand& c, const Words&) { return c.options.geoTiff = true; }},
    {{.name = "netcdf",
      .modes = ModeBit(kNetCdfJoin) | kStation,
      .selects = kNetCdfJoin,
      .yields = true,
      .help = "write the product's image as NetCDF-4 after the CF and ACDD conventions (\".nc\") "
              "instead of the joined data fields; with --batch or --watch, every product's",
      .manual =
          "Write the product as a NetCDF-4 file instead of the joined data fields, named like "
          "the joined output with the extension *.nc*, under the same rules as *--geotiff* "
          "(the same pixels, calibration, georeferencing and metadata; nothing partial is ever "
          "visible). It follows the CF-1.11 and ACDD-1.3 conventions: the pixels are the "
          "variable named by the channel (_IR_108_), on the coordinates _x_ and _y_, the scan "
          "angles in radians of the geostationary projection (standard names "
          "projection_x_angular_coordinate and projection_y_angular_coordinate), north up, "
          "with the 1.5 km offset of older data corrected as in the GeoTIFF; the grid mapping "
          "_geostationary_ holds every parameter of the projection and its WKT; _time_ holds "
          "the nominal time, with the scan's start and end (from the epilogue) as its "
          "attributes and as time_coverage_start and time_coverage_end. Compressed by deflate "
          "with shuffle, in chunks of 512 x 512. The NetCDF library is called by one thread "
          "at a time, as it requires: several files are written at once, but compressed one "
          "at a time. Available only in builds with GDAL and the NetCDF library."},
     [](SegweldCommand& c, const Words&) { return c.options.netCdf = true; }},
    {{.name = "calibration",
      .value = "QUANTITY",
      .modes = kImages | kStation,
      .rule = "counts, radiance, reflectance, brightness-temperature or bt",
      .help = "with --geotiff or --netcdf: counts, radiance, reflectance or brightness-temperature "
              "(bt) "
              "(default: brightness temperature for the infrared channels, reflectance for the "
              "others)",
      .manual = "What the pixels of *--geotiff* and *--netcdf* hold: *counts* (integers, with the "
                "scale and "
                "offset to radiance in the band's metadata), *radiance* "
                "(mW m-2 sr-1 (cm-1)-1), *reflectance* (%, for VIS006, VIS008, IR_016 and "
                "HRV) or *brightness-temperature*, also *bt* (K, for IR_039 to IR_134); "
                "calibrated pixels are Float32 with NaN as nodata. The default is brightness "
                "temperature for the infrared channels and reflectance for the others."},
     [](SegweldCommand& c, const Words& w) {
         c.options.calibration = geo::ParseQuantity(w[0]);
         return c.options.calibration.has_value();
     }},
    {{.name = "calibration-mode",
      .value = "MODE",
      .modes = kImages | kStation,
      .rule = "nominal or gsics",
      .help = "with --geotiff or --netcdf: the prologue's coefficients that make counts "
              "radiances, nominal or gsics (default: nominal)",
      .manual = "Which of the prologue's coefficients make the counts of *--geotiff* and "
                "*--netcdf* radiances: *nominal*, the Level 1.5 calibration (the default), or "
                "*gsics*, the GSICS re-calibration (radiance = gain × (count + offset count)) "
                "that newer prologues carry for the infrared channels. A product whose "
                "prologue carries no GSICS coefficients for its channel (or that has no "
                "prologue) is refused with *gsics*, and nothing is written. The file's "
                "CALIBRATION_COEFFICIENTS item (calibration_coefficients in NetCDF) says which "
                "were used."},
     [](SegweldCommand& c, const Words& w) {
         const auto mode = geo::ParseCalibrationMode(w[0]);
         c.options.calibrationMode = mode.value_or(geo::CalibrationMode::Nominal);
         c.calibrationModeGiven = true;
         return mode.has_value();
     }},
    {{.name = "batch",
      .modes = kBatch,
      .selects = kBatchMode,
      .commandLineOnly = true,
      .help = "join every product of IN_FOLDER whose output is not up to date",
      .manual = "Join every product found in _IN_FOLDER_, each exactly as a single join of its "
                "first segment would. Files whose names are segment names of the dissemination "
                "convention are grouped into products by their names with the segment number "
                "masked; prologue and epilogue files, hidden files and names such as "
                "_NAME_.tmp are not segments. A product is up to date, and skipped, when the "
                "record kept with its output (an extended attribute, or a hidden file "
                "._NAME_.segweld beside it) lists exactly the segment files the folder holds "
                "now (their numbers, sizes, modification and change times and file numbers) "
                "and the output is the file it was written as (its number, size and "
                "modification time), not changed since its record was kept; a segment added, "
                "replaced, removed or rewritten since, whatever its time, makes it be joined "
                "again. At the end a summary gives the products joined, up to date, incomplete "
                "and failed."},
     [](SegweldCommand& c, const Words&) {
         c.options.mode = station::StationMode::Batch;
         return true;
     }},
    {{.name = "watch",
      .modes = kWatch,
      .selects = kWatchMode,
      .commandLineOnly = true,
      .help = "join what IN_FOLDER holds as --batch does, then each product as soon as it is "
              "complete",
      .manual = "Treat what is already in _IN_FOLDER_ as *--batch* does, then join each product "
                "as soon as it is complete: every planned segment present with its whole data "
                "field. The folder is watched (inotify; ReadDirectoryChangesW on Windows) for "
                "files closed after writing, moved "
                "or renamed in, and linked; a segment not yet whole is looked at again every "
                "second. A product still incomplete *--timeout* seconds after its last segment "
                "arrived is joined with what it has; a segment that comes later makes it be "
                "joined again. An output that cannot be written is tried again after 10 s, "
                "then twice as long each time up to 10 min. When the folder is renamed or "
                "removed, the watch waits for a folder at the same path and goes on. SIGHUP "
                "reads the configuration file again and looks at the folder anew. SIGINT and "
                "SIGTERM end the *--then* commands under way, let the joins under way finish, "
                "and end *segweld* with status 0. One line is logged on standard error for "
                "every product: with a time stamp, or, when standard error is the journal, "
                "with its syslog level instead."},
     [](SegweldCommand& c, const Words&) {
         c.options.mode = station::StationMode::Watch;
         return true;
     }},
    {{.name = "jobs",
      .shortName = 'j',
      .value = "N",
      .modes = kStation,
      .rule = "a number of workers from 1 to 1024",
      .completion = Completion::Count,
      .help = "join N products at once, 1 to 1024 (default: the processors the process may "
              "use)",
      .manual = "Join _N_ products at once, 1 to 1024. The default is the number of processors "
                "the process may use: those of its affinity mask (as *taskset*(1), a scheduler "
                "or a container's cpuset leave it), fewer when a cgroup CPU quota allows less "
                "(a quota of 2.5 processors makes 2 workers), at least one."},
     [](SegweldCommand& c, const Words& w) {
         return station::ParseWorkers(w[0], c.options.workers);
     }},
    {{.name = "recursive",
      .modes = kBatch,
      .help = "look for products in the whole tree below IN_FOLDER; outputs go to the same "
              "subfolders below OUTPUT_FOLDER",
      .manual = "Look for products in the whole tree below _IN_FOLDER_, and write each output "
                "to the same subfolder below _OUTPUT_FOLDER_ as its product lies below "
                "_IN_FOLDER_. A subfolder that vanishes during the scan is passed over; one "
                "that cannot be read is a failure of its own."},
     [](SegweldCommand& c, const Words&) { return c.options.recursive = true; }},
    {{.name = "force",
      .modes = kBatch,
      .help = "join products again even when their output is up to date",
      .manual = "Join products again even when their output is up to date."},
     [](SegweldCommand& c, const Words&) { return c.options.force = true; }},
    {{.name = "report",
      .value = "FILE.jsonl",
      .modes = kStation,
      .rule = "a file name, or - for standard output",
      .completion = Completion::File,
      .extension = "jsonl",
      .help = "write JSON Lines as products finish (and slots are published) to FILE.jsonl, or "
              "- for standard output",
      .manual = "Write JSON Lines to _FILE.jsonl_ as products finish: a *start* line (version, "
                "arguments, shard, host, time), a *product* line per product (key, status, "
                "output, segments joined, missing, not joined, damaged, filled, bytes, seconds, "
                "warnings, error), a *slot* line per publication of a slot with *--slots*, a "
                "*folder* line per folder that could not be read, and an *end* line (totals, "
                "slots too, how the run ended). With *--batch* the lines go to "
                "_FILE.jsonl_.partial, renamed onto _FILE.jsonl_ at the end; a killed run "
                "leaves what it wrote there. With *--watch* they are appended to _FILE.jsonl_ "
                "itself, made when missing, and SIGHUP opens the name again, as log rotation "
                "expects. *-* writes them to standard output. The report's folder must exist "
                "and be writable before any join. A report has one writer: while a run writes "
                "_FILE.jsonl_.partial (a watch _FILE.jsonl_) it holds a lock on it, and a "
                "second run given the same report is refused before any join."},
     [](SegweldCommand& c, const Words& w) {
         c.options.reportPath = w[0];
         return true;
     }},
    {{.name = "slots",
      .modes = kStation | kImages,
      .help = "gather the products into time slots (satellite, service, nominal time) and "
              "publish each slot: complete, incomplete or late; with --geotiff or --netcdf, "
              "write each slot's channels into one file (given a segment file: its slot's)",
      .manual = "Gather the products into time slots: the files of one satellite's service "
                "(0\u00B0, Rapid Scan, IODC) and nominal time, as the names carry them. A slot "
                "wants its prologue, its epilogue and one product of each channel of "
                "*--slot-channels*; a product counts as complete when its join finds every "
                "planned segment whole (Rapid Scan plans start at segment 6, HRV at 16). "
                "*--watch* publishes a slot as soon as all it wants is complete, or "
                "*--slot-timeout* seconds after its first file came, complete or not; "
                "*--batch* publishes each slot once its products are joined. A publication "
                "writes the slot's manifest (its record as JSON, named like "
                "_h-msg2-0deg-201010111400.slot.json_) beside its outputs, a *slot* line to "
                "the report, and one line to the log. A file that comes after a publication "
                "is joined as ever and the slot is published again as *late*, naming it; a "
                "manifest left by an earlier run counts as a publication. Only names of MSG "
                "satellites form slots. With *--netcdf* or *--geotiff*, each publication also "
                "writes the slot's images beside its manifest, which names them: one NetCDF "
                "file of every channel (HRV on its own grid), or one multi-band GeoTIFF of "
                "the 3 km channels and one of HRV; absent channels are named, never written "
                "as zeros. Given a segment file instead of *--batch* or *--watch*, "
                "*segweld --slots --netcdf* (or *--geotiff*) writes the images of the slot "
                "that the file belongs to, made of the slot's files beside it."},
     [](SegweldCommand& c, const Words&) { return c.options.slots = true; }},
    {{.name = "slot-channels",
      .value = "LIST",
      .modes = kStation | kImages,
      .rule = "channel names separated by commas, such as IR_108,WV_062,HRV",
      .help = "with --slots: the channels a slot wants, as names carry them (default: all "
              "twelve)",
      .manual = "The channels a slot of *--slots* wants, separated by commas, as the names "
                "carry them (VIS006, VIS008, IR_016, IR_039, WV_062, WV_073, IR_087, IR_097, "
                "IR_108, IR_120, IR_134, HRV), for a station that receives fewer. The default "
                "is all twelve. Products of other channels are joined but not waited for."},
     [](SegweldCommand& c, const Words& w) {
         c.options.needsSlots =
             c.options.needsSlots.empty() ? "--slot-channels" : c.options.needsSlots;
         return station::ParseChannelList(w[0], c.options.slotChannels);
     }},
    {{.name = "slot-folders",
      .modes = kStation,
      .help = "with --slots: put each slot's outputs and manifest in a folder "
              "SATELLITE/SERVICE/YYYY/MM/DD/hhmm below OUTPUT_FOLDER",
      .manual = "Put each slot's outputs and its manifest (*--slots*) in a folder of its "
                "own below _OUTPUT_FOLDER_ (below the product's subfolder with *--recursive*), "
                "_SATELLITE_/_SERVICE_/_YYYY_/_MM_/_DD_/_hhmm_ by the names: for example "
                "_MSG2/0DEG/2010/10/11/1400_ or _MSG3/RSS/2022/04/04/0740_. Products that "
                "belong to no slot go to _OUTPUT_FOLDER_ as without it."},
     [](SegweldCommand& c, const Words&) {
         c.options.needsSlots =
             c.options.needsSlots.empty() ? "--slot-folders" : c.options.needsSlots;
         return c.options.slotFolders = true;
     }},
    {{.name = "from-list",
      .value = "FILE",
      .modes = kBatch,
      .rule = "a file name, or - for standard input",
      .completion = Completion::File,
      .help = "take the folders and segment files FILE names, one a line, instead of all of "
              "IN_FOLDER",
      .manual = "Take the folders and segment files that _FILE_ (*-*: standard input) names, "
                "one a line, relative to _IN_FOLDER_ or below it, instead of scanning the whole "
                "of _IN_FOLDER_: a folder gives its products (and those below it with "
                "*--recursive*), a segment file the product it belongs to. Blank lines and "
                "lines that begin with *#* are passed over. A product named by several lines, "
                "or by paths spelt differently (_sub/X_, _sub//X_, _sub/./X_), is taken once. "
                "A line that names nothing to join (no such file or folder, a file that is no "
                "segment file) is a failure of the run, in the report and the exit status."},
     [](SegweldCommand& c, const Words& w) {
         c.options.fromList = w[0];
         return true;
     }},
    {{.name = "shard",
      .value = "K/N",
      .modes = kBatch,
      .rule = "K/N with 0 <= K < N, for example 0/4",
      .help = "take only the products whose key hashes to K of N "
              "(0\u00A0<=\u00A0K\u00A0<\u00A0N)",
      .manual = "Take only the products whose key hashes to _K_ of _N_ (0 <= _K_ < _N_), so "
                "that _N_ jobs (a job array of a batch scheduler, GNU parallel over several "
                "hosts) share one archive without overlap."},
     [](SegweldCommand& c, const Words& w) {
         const auto shard = station::ParseShard(w[0]);
         c.options.shard = shard.value_or(station::Shard{});
         return shard.has_value();
     }},
    {{.name = "timeout",
      .value = "SECONDS",
      .modes = kWatch,
      .rule = "a number of seconds",
      .help = "join an incomplete product SECONDS after its last segment arrived (default "
              "900; fractions allowed)",
      .manual = "How long after its last segment arrived an incomplete product is joined "
                "anyway. The default is 900; fractions are allowed."},
     [](SegweldCommand& c, const Words& w) {
         return station::ParseSeconds(w[0], c.options.timeout);
     }},
    {{.name = "slot-timeout",
      .value = "SECONDS",
      .modes = kWatch,
      .rule = "a number of seconds",
      .help = "with --slots: publish a slot SECONDS after its first file came, complete or not "
              "(default 1200)",
      .manual = "How long after its first file came a slot of *--slots* is published, "
                "complete or not; its products that still wait are joined then with what they "
                "have. The default, 1200 (20 minutes), covers a 15-minute repeat cycle and a "
                "few minutes of delay, so that a late epilogue is still waited for; a slot "
                "whose wanted files are all complete is published at once anyway. Fractions "
                "are allowed."},
     [](SegweldCommand& c, const Words& w) {
         c.options.needsSlots =
             c.options.needsSlots.empty() ? "--slot-timeout" : c.options.needsSlots;
         return station::ParseSeconds(w[0], c.options.slotTimeout);
     }},
    {{.name = "then-timeout",
      .value = "SECONDS",
      .modes = kWatch,
      .rule = "a number of seconds",
      .help = "end a --then or --then-slot command still running after SECONDS (default 600)",
      .manual = "End a *--then* or *--then-slot* command, and everything it started, that is "
                "still running "
                "_SECONDS_ after it started (SIGTERM to its process group, SIGKILL 2 s later); "
                "its end is logged. The default is 600."},
     [](SegweldCommand& c, const Words& w) {
         return station::ParseSeconds(w[0], c.options.thenTimeout);
     }},
    {{.name = "quiet",
      .shortName = 'q',
      .modes = kStation,
      .help = "log failures only",
      .manual = "Log failures only."},
     [](SegweldCommand& c, const Words&) {
         c.options.verbosity = station::Verbosity::Quiet;
         return true;
     }},
    {{.name = "verbose",
      .shortName = 'v',
      .modes = kJoins | kStation,
      .help = "log every product of --batch or --watch, up to date ones too; a single join "
              "ends with the result line that --batch logs (--geotiff always prints it)",
      .manual = "Log every product of *--batch* or *--watch*, those found up to date too. A "
                "single join that writes its output ends with the line that *--batch* logs for "
                "it (joined or incomplete, segments, bytes, output, missing segments); "
                "*--geotiff* prints that line always."},
     [](SegweldCommand& c, const Words&) {
         c.options.verbosity = station::Verbosity::Verbose;
         return true;
     }},
    {{.name = "config",
      .value = "FILE",
      .modes = kWatch,
      .commandLineOnly = true,
      .rule = "a file name",
      .completion = Completion::File,
      .help = "take IN_FOLDER, OUTPUT_FOLDER and options from FILE (see the man page); those "
              "given on the command line win",
      .manual = "Take the input and output folders and options from _FILE_ (see "
                "*CONFIGURATION FILE*); folders and options given on the command line win "
                "over the file's. Then _IN_FOLDER_ and _OUTPUT_FOLDER_ may be left out."},
     [](SegweldCommand& c, const Words& w) {
         c.options.configPath = w[0];
         return true;
     }},
    {{.name = "then",
      .value = "COMMAND ARG...",
      .rest = true,
      .modes = kWatch,
      .rule = "a command",
      .completion = Completion::Command,
      .help = "run COMMAND after each product written, \"{}\" standing for the output; it "
              "takes the rest of the line",
      .manual = "Run _COMMAND_ after each product written, with every *{}* in its arguments "
                "replaced by the output path (the GeoTIFF's with *--geotiff*). It takes the rest "
                "of the command line. No shell is involved; the command runs beside the joins "
                "in a process group of its own, within *--then-timeout*; its exit status is "
                "logged and never ends the watch."},
     [](SegweldCommand& c, const Words& w) {
         c.options.thenCommand = w;
         return true;
     }},
    {{.name = "then-slot",
      .value = "'COMMAND ARG...'",
      .modes = kWatch,
      .rule = "a command in one argument",
      .completion = Completion::Command,
      .help = "with --slots: run COMMAND after each publication of a slot, \"{}\" standing for "
              "its manifest; one argument, split into words at blanks",
      .manual = "Run _COMMAND_ after each publication of a slot of *--slots*, with every "
                "*{}* in its arguments replaced by the path of the slot's manifest. The command "
                "and its arguments are one argument, split into words at blanks (double quotes "
                "keep a stretch with blanks as one word), so that it can stand beside *--then*. "
                "It runs as *--then* does: without a shell, beside the joins, in a process group "
                "of its own, within *--then-timeout*."},
     [](SegweldCommand& c, const Words& w) {
         c.options.needsSlots = c.options.needsSlots.empty() ? "--then-slot" : c.options.needsSlots;
         c.options.thenSlotCommand.clear();
         return cli::SplitWords(w[0], c.options.thenSlotCommand) &&
                !c.options.thenSlotCommand.empty();
     }},
    {{.name = "metrics",
      .value = "ADDRESS:PORT",
      .modes = kWatch,
      .rule = "an address and a port, such as 127.0.0.1:9464",
      .help = "serve Prometheus metrics at http://ADDRESS:PORT/metrics and a status page at "
              "http://ADDRESS:PORT/ (127.0.0.1 keeps them on this machine)",
      .manual =
          "Serve HTTP at _ADDRESS_:_PORT_ (an IPv6 address in brackets, *[::1]:9464*; port "
          "0 takes any free port, which the log names): *GET /metrics* answers the "
          "counters, gauges and histograms of *METRICS* in Prometheus' text format, and "
          "*GET /* a status page that reloads itself: the time slots of the last 24 hours "
          "as a grid of nominal time by channel, the latest outputs, the products waiting "
          "and the watch's health. *127.0.0.1* (or *[::1]*) keeps both on this machine and "
          "is the safe choice; any other address is served as given, with a warning in the "
          "log, since the page names the folders and products. Nothing else is answered: "
          "other paths get 404, other methods 405; no file is served, and a request larger "
          "than 16 KiB or slower than 5 s is cut off. An address that cannot be bound (a port "
          "in use, an address not of this machine) ends *segweld* with exit status 2 before "
          "any join."},
     [](SegweldCommand& c, const Words& w) {
         c.options.metrics.emplace();
         return station::ParseListenAddress(w[0], *c.options.metrics);
     }},
    {{.name = "metrics-file",
      .value = "FILE.prom",
      .modes = kBatch,
      .rule = "a file name",
      .completion = Completion::File,
      .extension = "prom",
      .help = "write the run's counters in Prometheus' text format to FILE.prom at the end, for "
              "node_exporter's textfile collector",
      .manual = "Write the counters of *METRICS* (those of a batch: products, slots, bytes, late "
                "files), the time the batch ended, how long it ran and its exit status to "
                "_FILE.prom_ at the end, in Prometheus' text format, for node_exporter's textfile "
                "collector (*--collector.textfile.directory*). The file appears whole under its "
                "name, replacing the last run's, as every output does; its folder must exist and "
                "be writable before any join."},
     [](SegweldCommand& c, const Words& w) {
         c.options.metricsFile = w[0];
         return !w[0].empty();
     }},
#ifdef _WIN32
    // The watch as a Windows service. Other systems start it with their own
    // service manager (the package's unit), so these rows are Windows's alone.
    {{.name = "install-service",
      .value = "NAME",
      .modes = kWatch,
      .commandLineOnly = true,
      .rule = "a service name",
      .help = "Windows only: install this watch as the service NAME, which starts with "
              "Windows, is restarted when it fails and logs to the Windows Event Log, and start it",
      .manual = "Windows only. Install this watch as the Windows service _NAME_ and start it: "
                "it runs under the account NT SERVICE\\\\_NAME_, which is given access to the "
                "two folders, starts with Windows, is restarted when it fails, and logs to the "
                "Windows Event Log: the Application log, source _NAME_, an event a line, failures "
                "as errors, warnings and incomplete products as warnings."},
     [](SegweldCommand& c, const Words& w) {
         c.serviceName = w[0];
         return true;
     }},
    {{.name = "uninstall-service",
      .value = "NAME",
      .modes = ModeBit(kUninstallService),
      .selects = kUninstallService,
      .commandLineOnly = true,
      .rule = "a service name",
      .help = "Windows only: stop and remove the service NAME that --install-service made",
      .manual = "Windows only. Stop and remove the service _NAME_ that *--install-service* "
                "made, and take back its account's access to the folders."},
     [](SegweldCommand& c, const Words& w) {
         c.serviceName = w[0];
         return true;
     }},
    {{.name = "service",
      .value = "NAME FOLDER ARG...",
      .rest = true,
      .modes = ModeBit(kServiceRun),
      .selects = kServiceRun,
      .commandLineOnly = true,
      .rule = "a service name, its folder and the arguments of --watch",
      .help = "Windows only: what the service manager starts for a service that "
              "--install-service made; not for typing",
      .manual = "Windows only. What the service manager starts for a service that "
                "*--install-service* made: the watch's arguments, read in _FOLDER_."},
     [](SegweldCommand& c, const Words& w) {
         c.serviceRun = w;
         return w.size() >= 3;
     }},
#endif
    {{.name = "help",
      .shortName = 'h',
      .commandLineOnly = true,
      .answersAtOnce = true,
      .help = "print this help and exit; after --geotiff, --netcdf, --batch or --watch, print "
              "the help of that mode alone",
      .manual =
          "Print the usage and the options and exit; after *--geotiff*, *--netcdf*, *--batch* or "
          "*--watch*, those of that mode alone."},
     [](SegweldCommand& c, const Words&) { return c.help = true; }},
    {{.name = "version",
      .commandLineOnly = true,
      .answersAtOnce = true,
      .help = "print the version and exit",
      .manual = "Print the version and exit."},
     [](SegweldCommand& c, const Words&) { return c.version = true; }},
};

const std::vector<const char*> kFolderKeys = {"input", "output"};

cli::ProgramSpec MakeProgram() {
    const char* joinPaths[] = {"SEGMENT_FILE", "OUTPUT_FOLDER"};
    const char* stationPaths[] = {"IN_FOLDER", "OUTPUT_FOLDER"};
    const std::vector<Completion> fileThenFolder = {Completion::File, Completion::Folder};
    const std::vector<Completion> folders = {Completion::Folder, Completion::Folder};
    const char* batchExit =
        "Exit status: 0 every product written or up to date; 1 some product's data could not be "
        "joined, or a line of --from-list names nothing; 75 some product or folder failed for a "
        "reason of the system (no space, an I/O "
        "error, a folder that cannot be read, an output or report that cannot be written), so "
        "a retry may help; 2 bad arguments, or a report or --metrics-file that cannot be "
        "written; 130, 143 or 129 stopped by SIGINT, SIGTERM or SIGHUP.";
    const char* watchExit =
        "Exit status: 0 stopped by SIGINT or SIGTERM; 1 the folder could not be watched; 2 bad "
        "arguments, an output folder that may not be written into, a report that cannot be "
        "opened, or a --metrics address that cannot be served."
#ifdef _WIN32
        " With --install-service: 0 the service was installed and started; 1 the service "
        "manager refused."
#endif
        ;
#define SEGWELD_IMAGE_EXIT(IMAGE)                                  \
    "Exit status: 0 the " IMAGE                                    \
    " was written; 1 nothing was written (no segment could be "    \
    "joined, SEGMENT_FILE is no segment file, or the " IMAGE       \
    " could not be written); 2 bad "                               \
    "arguments, or this build or installation cannot write " IMAGE \
    "; 130, 143 or 129 "                                           \
    "stopped by SIGINT, SIGTERM or SIGHUP, with nothing written."
    const char* geoTiffExit = SEGWELD_IMAGE_EXIT("GeoTIFF");
    const char* netCdfExit = SEGWELD_IMAGE_EXIT("NetCDF file");
#undef SEGWELD_IMAGE_EXIT
#ifdef _WIN32
    const char* serviceExit =
        "Exit status: 0 done; 1 the service manager refused; 2 bad arguments.";
#endif
    cli::ProgramSpec program;
    program.name = "segweld";
    program.modes = {
        {.title = "a single join",
         .paths = {joinPaths[0], joinPaths[1]},
         .pathCompletion = fileThenFolder},
        {.title = "--geotiff",
         .paths = {joinPaths[0], joinPaths[1]},
         .pathCompletion = fileThenFolder,
         .summary = "Writes the product of SEGMENT_FILE as a georeferenced Cloud-Optimized "
                    "GeoTIFF in OUTPUT_FOLDER, named like the joined output with the extension "
                    "\".tif\". The segments are chosen as a join chooses them, each read once; "
                    "nothing but the GeoTIFF is written.",
         .exitStatus = geoTiffExit},
        {.title = "--netcdf",
         .paths = {joinPaths[0], joinPaths[1]},
         .pathCompletion = fileThenFolder,
         .summary = "Writes the product of SEGMENT_FILE as a NetCDF-4 file after the CF and "
                    "ACDD conventions in OUTPUT_FOLDER, named like the joined output with the "
                    "extension \".nc\", with the pixels and metadata of --geotiff.",
         .exitStatus = netCdfExit},
        {.title = "--batch",
         .paths = {stationPaths[0], stationPaths[1]},
         .pathCompletion = folders,
         .summary = "Joins every product in IN_FOLDER whose output is not up to date, each as "
                    "a single join of its first segment would.",
         .exitStatus = batchExit},
        {.title = "--watch",
         .paths = {stationPaths[0], stationPaths[1]},
         .pathCompletion = folders,
         .summary = "Joins what IN_FOLDER holds as --batch does, then each product as soon as "
                    "it is complete, or SECONDS (default 900) after its last segment arrived. "
                    "With --config FILE the folders and options may come from FILE instead.",
         .exitStatus = watchExit},
#ifdef _WIN32
        {.title = "--uninstall-service",
         .paths = {},
         .pathCompletion = {},
         .summary = "Stops and removes the Windows service NAME that --install-service made.",
         .exitStatus = serviceExit},
        {.title = "--service",
         .paths = {},
         .pathCompletion = {},
         .summary = "Runs the watch of a Windows service that --install-service made, as the "
                    "service manager starts it.",
         .exitStatus = serviceExit},
#endif
    };
    program.options = cli::SpecsOf(kOptions);
    program.moreUsage = {"segweld                 (opens the dialog)",
                         "segweld --help | --version"};
    program.description =
        "Joins the data fields of the HRIT/LRIT segment files of one product into one file in "
        "OUTPUT_FOLDER. SEGMENT_FILE is any segment file of the product; the segments are taken "
        "from number 000001 up to the first number that is missing. The output is named after "
        "SEGMENT_FILE, lower-cased, with the first four data bytes as its extension (\".xyz\" "
        "when they are not letters and digits). --geotiff and --netcdf write the product's image "
        "instead; "
        "--batch joins every product of a folder, --watch each product as it arrives.\n\n"
        "Options may stand anywhere among the arguments; \"--\" ends them. 'segweld --batch "
        "--help' shows the options of --batch alone, and so on.";
    program.exitStatus =
        "Exit status of a single join: 0 the output was written; 1 nothing was joined (or "
        "SEGMENT_FILE is no segment file) or the output could not be written; 2 bad arguments, "
        "or no dialog can be opened; 130, 143 or 129 stopped by SIGINT, SIGTERM or SIGHUP, with "
        "nothing written. 'segweld --batch --help' and so on give those of each mode.";
    return program;
}

void CheckPaths(SegweldCommand& command) {
    const bool service = command.mode == kUninstallService || command.mode == kServiceRun;
    const size_t wanted = service ? 0 : 2;
    const bool station = command.mode == kBatchMode || command.mode == kWatchMode;
    const bool foldersInFile = !command.options.configPath.empty();
    const bool image = command.options.geoTiff || command.options.netCdf;
    if (station && command.options.calibration && !image) {
        command.error = "--calibration belongs to --geotiff and --netcdf";
    } else if (station && command.calibrationModeGiven && !image) {
        command.error = "--calibration-mode belongs to --geotiff and --netcdf";
    } else if (station && command.options.geoTiff && command.options.netCdf) {
        command.error = "--geotiff and --netcdf cannot be given together";
    } else if (command.paths.size() > wanted && command.mode == kSingleJoin) {
        for (size_t i = wanted; i < command.paths.size(); ++i) {
            command.warnings.push_back("extra argument '" + command.paths[i] + "'; ignored");
        }
    } else if (command.paths.size() > wanted) {
        command.error = "extra argument '" + command.paths[wanted] + "'";
    } else if ((command.mode == kGeoTiffJoin || command.mode == kNetCdfJoin) &&
               command.paths.empty()) {
        command.error = std::string(command.mode == kNetCdfJoin ? "--netcdf" : "--geotiff") +
                        " needs a segment file and an output folder";
    } else if (station && command.paths.size() != wanted &&
               !(foldersInFile && command.paths.empty())) {
        command.error = foldersInFile ? "give both folders or neither: IN_FOLDER OUTPUT_FOLDER"
                                      : "give exactly two folders: IN_FOLDER OUTPUT_FOLDER";
    }
}

// The slot options mean nothing without --slots.
std::string SlotOptionsError(const station::StationOptions& options) {
    return options.slots || options.needsSlots.empty() ? "" : options.needsSlots + " needs --slots";
}

// The options of --watch from the configuration file and the command line,
// the command line's last so that they win.
station::StationOptions WatchOptions(const std::vector<cli::Given>& commandLine,
                                     const std::vector<std::string>& paths,
                                     const std::string& configPath, std::string& error) {
    const cli::ConfigEntries file =
        cli::ReadConfigFile(SegweldProgram(), kWatchMode, configPath, kFolderKeys);
    error = file.error;
    SegweldCommand command;
    if (error.empty()) {
        error = cli::ApplyAll(kOptions, file.given, command);
    }
    if (error.empty()) {
        error = cli::ApplyAll(kOptions, commandLine, command);
    }
    station::StationOptions& options = command.options;
    const bool inFile = file.paths.contains("input") && file.paths.contains("output");
    if (error.empty() && paths.empty() && !inFile) {
        error = configPath + ": give the folders as input and output, or on the command line";
    }
    const auto folder = [&](size_t index, const char* key) {
        const auto inTheFile = file.paths.find(key);
        return !paths.empty()                  ? paths[index]
               : inTheFile != file.paths.end() ? inTheFile->second
                                               : std::string();
    };
    options.inputFolder = folder(0, "input");
    options.outputFolder = folder(1, "output");
    if (error.empty()) {
        error = SlotOptionsError(options);
    }
    options.rereadConfig = [commandLine, paths, configPath](std::string& why) {
        return WatchOptions(commandLine, paths, configPath, why);
    };
    return options;
}

}  // namespace

const cli::ProgramSpec& SegweldProgram() {
    static const cli::ProgramSpec program = MakeProgram();
    return program;
}

const std::vector<const char*>& WatchFolderKeys() {
    return kFolderKeys;
}

SegweldCommand ParseSegweldCommand(const std::vector<std::string>& arguments) {
    const cli::ProgramSpec& program = SegweldProgram();
    const cli::Tokens tokens = cli::Tokenize(program, arguments);
    // A single join ignores what follows its two paths, as the command tail
    // always has; a word there is named in a warning, an option there is taken.
    const cli::Checked checked = cli::CheckTokens(program, tokens, 2);
    SegweldCommand command;
    command.mode = checked.mode;
    command.paths = tokens.paths;
    command.warnings = checked.warnings;
    for (const cli::Given& given : checked.accepted) {
        command.optionsGiven.push_back(given.spelling);
    }
    const std::vector<cli::Given> answers = cli::AnswersAtOnce(program, tokens);
    if (!answers.empty()) {
        cli::ApplyAll(kOptions, answers, command);
        command.warnings.clear();
        return command;
    }
    command.error = checked.error;
    if (command.error.empty()) {
        command.error = cli::ApplyAll(kOptions, checked.accepted, command);
    }
    if (command.help || command.version) {
        command.error.clear();
        command.warnings.clear();
        return command;
    }
    if (command.error.empty()) {
        CheckPaths(command);
    }
    if (command.error.empty() && !command.options.configPath.empty()) {
        command.options = WatchOptions(checked.accepted, command.paths, command.options.configPath,
                                       command.error);
    } else if (command.paths.size() >= 2) {
        command.options.inputFolder = command.paths[0];
        command.options.outputFolder = command.paths[1];
    }
    if (command.error.empty()) {
        command.error = SlotOptionsError(command.options);
    }
    return command;
}

}  // namespace segweld
