// corvid-pack's compressor on arbitrary bytes: zlib inflates every stream
// back to the input, and the stream is the same whether the input comes whole
// or in pieces of any size.
#include <zlib.h>

#include "fuzz_support.h"
#include "pack/deflate.h"

using namespace corvid;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const std::size_t piece = provider.ConsumeIntegralInRange<std::size_t>(1, 5000);
    // Repeats make long matches, which random bytes seldom have.
    const int repeats = provider.ConsumeIntegralInRange(1, 40);
    std::string input;
    const std::string rest = provider.ConsumeRemainingBytesAsString();
    for (int i = 0; i < repeats; ++i) input += rest;

    const std::vector<std::uint8_t> whole = pack::deflate(input);
    std::vector<std::uint8_t> pieces;
    pack::Deflater deflater([&](const std::uint8_t* bytes, std::size_t n) { pieces.insert(pieces.end(), bytes, bytes + n); });
    for (std::size_t at = 0; at < input.size(); at += piece) {
        deflater.write(reinterpret_cast<const std::uint8_t*>(input.data()) + at, std::min(piece, input.size() - at));
    }
    deflater.finish();
    FUZZ_CHECK(pieces == whole);

    std::string back(input.size() + 1, '\0');
    z_stream stream{};
    FUZZ_CHECK(inflateInit2(&stream, -15) == Z_OK);
    stream.next_in = const_cast<Bytef*>(whole.data());
    stream.avail_in = static_cast<uInt>(whole.size());
    stream.next_out = reinterpret_cast<Bytef*>(back.data());
    stream.avail_out = static_cast<uInt>(back.size());
    FUZZ_CHECK(inflate(&stream, Z_FINISH) == Z_STREAM_END);
    FUZZ_CHECK(stream.avail_in == 0);
    FUZZ_CHECK(stream.total_out == input.size());
    inflateEnd(&stream);
    back.resize(input.size());
    FUZZ_CHECK(back == input);
    // Never much larger than stored blocks would be.
    FUZZ_CHECK(whole.size() <= input.size() + input.size() / 16000 * 5 + 16);
    return 0;
}
