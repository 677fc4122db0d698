#include "web/ResponseDecoder.h"

// Until the decoder is initialised it is not ready: every body decodes to nothing and
// callers keep the body as it came.

ResponseDecoder* TheResponseDecoder = nullptr;

void ResponseDecoder::Destroy() {}

ResponseDecoder* ResponseDecoder::Copy() const { return new ResponseDecoder(*this); }

bool ResponseDecoder::InitialiseDecoder() { return ready != 0; }

Bytes ResponseDecoder::DecodeDeflate(const Bytes&) const { return {}; }

Bytes ResponseDecoder::DecodeGzip(const Bytes&) const { return {}; }
