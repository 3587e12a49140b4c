// bandpng: renders the pictures of a band stream (a hard-copy file or a
// print job) as PNG images.
//
// Exit status: 0 on success, 1 for a damaged or unreadable stream, a slot
// that the stream does not hold, an image that cannot be written or memory
// that runs out, 2 for a usage error, 70 for an internal failure (an
// exception other than memory running out).
#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "banddecode.h"
#include "dotpng.h"

namespace {

const char ProgramName[] = "bandpng";
const char ProgramVersion[] = "1.0";
const int ExitDamaged = 1;
const int ExitUsage = 2;
const int ExitInternalFailure = 70;

// What the command line asks for.
struct Options {
    bool printerForm = false;
    bool geometryGiven = false;
    int width = DefaultScreenWidth;
    int height = DefaultScreenHeight;
    long slot = 0;            // 0: every picture; else the picture number from 1
    std::string outputFile;   // -o: the one image; empty: prefix naming
    std::string input;
    std::string prefix;
};

void WriteUsage()
{
    std::printf(
        "Usage: %s [OPTION]... INPUT OUTPUT-PREFIX\n"
        "  or:  %s [OPTION]... -o FILE INPUT\n"
        "Render the screen pictures in the band stream INPUT as PNG images,\n"
        "OUTPUT-PREFIX-1.png, OUTPUT-PREFIX-2.png, ..., one per picture.\n"
        "INPUT is a hard-copy file (a picture in each slot, the screen size read\n"
        "from the stream) unless -p is given.  With INPUT -, read standard input.\n"
        "\n"
        "  -p, --printer        INPUT is a print job (printer form)\n"
        "  -g, --geometry=WxH   screen size of a print job in pixels (default 640x480)\n"
        "  -s, --slot=N         render picture N only (slot N of a hard-copy file,\n"
        "                         copy N of a print job; 0 is the same as 1)\n"
        "  -o, --output=FILE    write the one picture to FILE (- for standard output)\n"
        "      --help           display this help and exit\n"
        "      --version        output version information and exit\n"
        "\n"
        "Dots are black on white, one image pixel per screen pixel.  A print job\n"
        "has no end marks: each copy is taken to hold the bands of one screen,\n"
        "and a last copy cut short is rendered with the rest blank.\n"
        "\n"
        "Exit status: 0 on success, 1 if INPUT is damaged or cannot be read or an\n"
        "image cannot be written, 2 on a usage error.\n",
        ProgramName, ProgramName);
}

[[noreturn]] void UsageError(const std::string &message)
{
    std::fprintf(stderr, "%s: %s\n", ProgramName, message.c_str());
    std::fprintf(stderr, "Try '%s --help' for more information.\n", ProgramName);
    std::exit(ExitUsage);
}

[[noreturn]] void Fatal(const std::string &name, const std::string &message)
{
    std::fprintf(stderr, "%s: %s: %s\n", ProgramName, name.c_str(), message.c_str());
    std::exit(ExitDamaged);
}

// Reads a whole decimal number of 1 to 9 digits; false for anything else.
bool ReadCount(const char *text, long &value)
{
    size_t length = std::strlen(text);
    if (length == 0 || length > 9 || std::strspn(text, "0123456789") != length)
        return false;
    value = std::strtol(text, nullptr, 10);
    return true;
}

// Reads a screen size WxH (the x may be a capital X).
bool ReadGeometry(const char *text, int &width, int &height)
{
    const char *cross = std::strpbrk(text, "xX");
    if (!cross)
        return false;
    std::string widthText(text, size_t(cross - text));
    long w, h;
    if (!ReadCount(widthText.c_str(), w) || !ReadCount(cross + 1, h))
        return false;
    if (w < 1 || w > 0xFFFF || h < 8 || h > 0xFFFF || w * h > MaxPicturePixels)
        return false;
    width = int(w);
    height = int(h);
    return true;
}

Options ReadCommandLine(int argc, char **argv)
{
    enum { HelpOption = 256, VersionOption };
    static const option longOptions[] = {
        {"printer", no_argument, nullptr, 'p'},
        {"geometry", required_argument, nullptr, 'g'},
        {"slot", required_argument, nullptr, 's'},
        {"output", required_argument, nullptr, 'o'},
        {"help", no_argument, nullptr, HelpOption},
        {"version", no_argument, nullptr, VersionOption},
        {nullptr, 0, nullptr, 0},
    };
    Options options;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, ":pg:s:o:", longOptions, nullptr)) != -1) {
        switch (c) {
        case 'p':
            options.printerForm = true;
            break;
        case 'g':
            if (!ReadGeometry(optarg, options.width, options.height))
                UsageError("invalid screen size '" + std::string(optarg) +
                           "' (WxH, width 1 to 65535, height 8 to 65535)");
            options.geometryGiven = true;
            break;
        case 's':
            if (!ReadCount(optarg, options.slot))
                UsageError("invalid slot number '" + std::string(optarg) + "'");
            if (options.slot == 0)
                options.slot = 1;
            break;
        case 'o':
            if (*optarg == '\0')
                UsageError("empty output file name");
            options.outputFile = optarg;
            break;
        case HelpOption:
            WriteUsage();
            std::exit(0);
        case VersionOption:
            std::printf("%s %s\n", ProgramName, ProgramVersion);
            std::exit(0);
        case ':':
            UsageError("option '" + std::string(argv[optind - 1]) + "' requires an argument");
        default:
            if (optopt)
                UsageError(std::string("invalid option -- '") + char(optopt) + "'");
            UsageError("unrecognized option '" + std::string(argv[optind - 1]) + "'");
        }
    }
    const int operands = argc - optind;
    const int wanted = options.outputFile.empty() ? 2 : 1;
    if (operands < wanted)
        UsageError(operands == 0 ? "missing input file" : "missing output prefix");
    if (operands > wanted)
        UsageError("extra operand '" + std::string(argv[optind + wanted]) + "'");
    options.input = argv[optind];
    if (wanted == 2)
        options.prefix = argv[optind + 1];
    if (options.geometryGiven && !options.printerForm)
        UsageError("--geometry applies to a print job (-p) only; a hard-copy file carries its own size");
    return options;
}

// Reads the whole input ("-" is standard input) or ends the program.
std::vector<unsigned char> ReadInputFile(const std::string &name)
{
    const bool standardInput = name == "-";
    std::FILE *in = standardInput ? stdin : std::fopen(name.c_str(), "rb");
    if (!in)
        Fatal(name, std::strerror(errno));
    std::vector<unsigned char> bytes;
    unsigned char block[65536];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, in)) > 0)
        bytes.insert(bytes.end(), block, block + got);
    const bool failed = std::ferror(in);
    const int error = errno;
    if (!standardInput)
        std::fclose(in);
    if (failed)
        Fatal(name, std::strerror(error));
    return bytes;
}

// Writes one picture to the named file ("-" is standard output) or ends
// the program.
void WriteImageFile(const BandImage &image, const std::string &name)
{
    const bool standardOutput = name == "-";
    std::FILE *out = standardOutput ? stdout : std::fopen(name.c_str(), "wb");
    if (!out)
        Fatal(name, std::strerror(errno));
    errno = 0;
    bool ok = WriteDotsPng(image, out);
    const int error = errno;
    if (!standardOutput && std::fclose(out) != 0)
        ok = false;
    if (!ok)
        Fatal(name, error ? std::strerror(error) : "cannot write the PNG image");
}

std::string ImageFileName(const std::string &prefix, size_t number)
{
    return prefix + "-" + std::to_string(number) + ".png";
}

// The pictures of a refused hard-copy file that lie wholly before its
// fault: the scan has checked every dump it passed, and the last start it
// noted is the dump it stopped in.  None for a print job, whose copies are
// not slots of a fixed size.
size_t CompletePicturesBefore(const BandLayout &layout, const Options &options)
{
    if (options.printerForm || layout.pictureStarts.empty())
        return 0;
    return layout.pictureStarts.size() - 1;
}

int RenderBandStream(int argc, char **argv)
{
    const Options options = ReadCommandLine(argc, argv);
    const std::vector<unsigned char> stream = ReadInputFile(options.input);
    const std::string inputName = options.input == "-" ? "(standard input)" : options.input;

    BandLayout layout;
    StreamFault fault;
    const bool ok = options.printerForm
                        ? ScanPrinterStream(stream.data(), stream.size(), options.width,
                                            options.height, layout, fault)
                        : ScanFileStream(stream.data(), stream.size(), layout, fault);
    // A hard-copy file cut short (a full disk) keeps the pictures of its
    // complete slots: they are rendered, the fault is told and the status
    // still says the stream is damaged.
    const std::string faultText = "byte " + std::to_string(fault.offset) + ": " + fault.text;
    const size_t completePictures = ok ? layout.pictureStarts.size() : CompletePicturesBefore(layout, options);
    if (completePictures == 0)
        Fatal(inputName, faultText);
    if (!ok) {
        std::fprintf(stderr, "%s: %s: %s; the %zu complete %s rendered\n", ProgramName,
                     inputName.c_str(), faultText.c_str(), completePictures,
                     completePictures == 1 ? "picture before it is" : "pictures before it are");
        layout.pictureStarts.resize(completePictures);
    }

    const size_t pictures = layout.pictureStarts.size();
    size_t first = 1, last = pictures;
    if (options.slot > 0) {
        if (size_t(options.slot) > pictures)
            Fatal(inputName, "no picture " + std::to_string(options.slot) + ", the stream holds " +
                                 std::to_string(pictures));
        first = last = size_t(options.slot);
    } else if (!options.outputFile.empty() && pictures > 1) {
        UsageError(inputName + " holds " + std::to_string(pictures) +
                   " pictures; choose one with --slot for --output");
    }

    for (size_t number = first; number <= last; ++number) {
        const BandImage image = RenderPicture(stream.data(), stream.size(), layout, number - 1);
        WriteImageFile(image, options.outputFile.empty() ? ImageFileName(options.prefix, number)
                                                         : options.outputFile);
    }
    return ok ? 0 : ExitDamaged;
}

} // namespace

// Memory that runs out (a stream larger than memory) ends the program as a
// stream that cannot be read does; no exception ends it by an abort.
int main(int argc, char **argv)
{
    try {
        return RenderBandStream(argc, argv);
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "%s: out of memory\n", ProgramName);
    } catch (const std::length_error &) {
        std::fprintf(stderr, "%s: out of memory\n", ProgramName);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s: internal failure: %s\n", ProgramName, e.what());
        return ExitInternalFailure;
    } catch (...) {
        std::fprintf(stderr, "%s: internal failure: an exception of unknown type\n", ProgramName);
        return ExitInternalFailure;
    }
    return ExitDamaged;
}
