// libFuzzer target: arbitrary bytes as a module reply, fed to every decoder that reads one.
// The input is what a read could hand over (a dump read asks for at most 1024 characters,
// a single-value read for 16), in a buffer of exactly its size, so AddressSanitizer catches
// any read past the end of what arrived. Besides memory errors, a decoder breaking the rules
// below traps.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/Decode.h"
#include "protocol/ModuleData.h"

namespace {

void Check(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

// kLinkGarbledReply shares its value with kLinkMissingSeparator.
bool IsLinkResult(LinkResult r) {
    return r == kLinkOk || r == kLinkShortReply || r == kLinkMissingSeparator;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kDumpReadChars + 1) {
        return -1;  // longer than any read; keep it out of the corpus
    }
    const std::string_view reply(reinterpret_cast<const char*>(data), size);

    ModuleData612 d612;
    const LinkResult r612 = DecodeDump612(reply, d612);
    Check(IsLinkResult(r612));
    Check((r612 == kLinkShortReply) == (size < kDumpMinChars612));

    ModuleData640 d640;
    const LinkResult r640 = DecodeDump640(reply, d640);
    Check(IsLinkResult(r640));
    Check((r640 == kLinkShortReply) == (size < kDumpMinChars640));
    // The shape check reads every line of a reply of any size, never past its end.
    (void)DumpShapeOk(reply, kDumpLines612);
    (void)DumpShapeOk(reply, kDumpLines640);

    // Single-value replies as the 16-character read delivers them, and whole.
    for (const std::string_view value : {reply.substr(0, kValueReadChars), reply}) {
        double flow = 0;
        const LinkResult rf = DecodeFlowReply(value, flow);
        Check(IsLinkResult(rf));
        Check(rf != kLinkOk || std::isfinite(flow));  // a value that is no number is garbled
        std::uint32_t status = 0;
        const LinkResult rh = DecodeStatusReply(value, 'h', status);
        Check(IsLinkResult(rh));
        const LinkResult rl = DecodeStatusReply(value, 'l', status);
        Check(IsLinkResult(rl));
    }

    // Field decoders straight on the bytes; a float read back from its encoding is the same.
    const double f = DecodeModuleFloat(reply);
    Check(std::isnan(f) || DecodeModuleFloat(EncodeModuleFloat(f)) == f);
    Check(HexPairValue(reply) <= 0xFF);
    Check(Decode16Bit(reply) <= 0xFFFF && DecodeTopByte(reply) <= 0xFF);
    const int radix = size > 0 ? data[0] % 40 : 16;  // also out of 1..36
    (void)ParseRadix(reply.substr(size > 0 ? 1 : 0), static_cast<int>(size) - 1, radix);
    return 0;
}
