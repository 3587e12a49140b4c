// kalidor: period analysis of the brightness estimates of a variable star.
#include "batch.h"
#include "fastspectrum.h"
#include "fastspectrumthreads.h"
#include "hardcopy.h"
#include "kalidor.h"
#include "options.h"
#include "output.h"
#include "runerror.h"
#include "screen.h"
#include "signalend.h"

namespace {

int RunKalidor(int argc, char **argv)
{
    // Before anything is opened: descriptors 0 to 2 taken, so that no file
    // lands on them; an ending signal removes what must not stay.
    PrepareStandardStreams();
    CatchEndingSignals();

    // The options come first; the dialogue sees the program name and the
    // parameters after them, exactly as without options.
    const int first = ParseOptions(argc, argv);
    argv[first - 1] = argv[0];
    argc -= first - 1;
    argv += first - 1;

    // Before any output: the spectrum kernel (a KALIDOR_SPECTRUM_KERNEL that
    // names none ends the run here) and its threads.
    SetSpectrumThreads(Options.threads);
    ActiveSpectrumKernel();

    // A batch run opens no screen and makes no hard copy.
    if (Options.batch)
        RunBatch(argc, argv);

    // Then the graphics layer and the printer channel.
    InitGraphicsLayer();
    OpenPrinterSpool();
    if (argc >= 2) {
        SetHardCopyStem(FileStem(argv[1]));
        SetHardCopyInput(argv[1]);
    }
    return RunDialogue(argc, argv);
}

} // namespace

int main(int argc, char **argv)
{
    // An exception that nothing else catches (memory running out) ends
    // the run as a failed operation does, never by an abort.
    StopOnUncaughtExceptions("kalidor");
    try {
        return RunKalidor(argc, argv);
    } catch (...) {
        StopOnException("kalidor");
    }
}
