// Reading a file descriptor in the background, chunk by chunk.
#pragma once

#include <cstddef>

#include "reactive/RSSubject.h"

// Starts reading at once, on a background queue of its own, from a duplicate
// of the descriptor (the caller may close its own at any time): each chunk
// read (data, at most chunkSize bytes) is sent as it arrives, and the end of
// the file completes the subject. A failed read sends an error of
// RSPOSIXErrorDomain carrying errno. The subject keeps every chunk for late
// subscribers. Reading goes on until the end of the file or a failure, whoever
// subscribes; it waits for data in slices of pollSlice, so shutting the
// dispatch runtime down stops it.
RSReplaySubjectPtr rs_readInBackground(int fileDescriptor, size_t chunkSize = 65536);

inline constexpr int RSReadInBackgroundPollSliceMilliseconds = 100;
