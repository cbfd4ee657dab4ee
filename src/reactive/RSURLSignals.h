// URL reads and requests as signals. See RSURLRequest.h for the URLs taken
// and the errors sent.
#pragma once

#include <memory>
#include <string>

#include "reactive/RSScheduler.h"
#include "reactive/RSSubject.h"
#include "reactive/RSURLRequest.h"
#include "reactive/RSURLResponse.h"

// One request per subscription, run on a private serial queue of its own;
// sends one two-tuple (RSURLResponse, data) and completes, on that queue. A
// server's answer is a response whatever its status (a 404 too); a transfer
// that fails (refused, timed out, unreachable) or an unreadable file sends
// the error instead. Disposing the subscription cancels the transfer at once
// (the connection is closed within a fraction of a second) and nothing more
// is sent.
RSSignalPtr rs_sendAsynchronousRequest(const RSURLRequest& request);

// Reads the URL once, at once, on the scheduler (a new background one when
// null): the contents as data, then completion; or the error (a status of 400
// or more is an error here, RSURLErrorHTTPStatus). The subject keeps the
// result for late subscribers.
RSReplaySubjectPtr rs_readDataContentsOfURL(const std::string& url, const RSSchedulerPtr& scheduler);

enum class RSStringEncoding { UTF8, UTF16LittleEndian, UTF16BigEndian };

// The same for text: UTF-8, or UTF-16 of either byte order when the text
// starts with its byte-order mark (the mark is dropped); other bytes fail
// with EILSEQ (RSPOSIXErrorDomain). When usedEncoding is given, the encoding
// found is stored there before the text is sent.
RSReplaySubjectPtr rs_readStringContentsOfURL(const std::string& url,
                                              const std::shared_ptr<RSStringEncoding>& usedEncoding,
                                              const RSSchedulerPtr& scheduler);
