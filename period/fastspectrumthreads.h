// The number of threads of a spectrum pass.
#pragma once

// n > 0: every spectrum pass uses n threads.  0 (the start): a pass of more
// than 10^8 terms (observations times trial periods) uses every core, a
// smaller one a single thread.  The spectrum file is the same either way.
void SetSpectrumThreads(int n);
