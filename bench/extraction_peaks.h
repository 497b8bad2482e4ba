// Peak heap of whole extractions through PackReader::ExtractFromMemory onto
// the real file system, beside the bound that the extractor's and the
// codec's buffers set.
#pragma once

// Prints the table; false when an extraction gave a wrong result.
bool RunExtractionPeaks();
