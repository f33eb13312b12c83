// Coverage for AFL++ from GCC's -fsanitize-coverage=trace-pc. GCC calls
// __sanitizer_cov_trace_pc at the start of every basic block; each call
// counts the edge from the previous block in AFL++'s shared map, as AFL++'s
// own instrumentation does (this block's id xor the previous id halved).
// The id is a hash of the block's address: the fork server's children share
// their parent's layout, so an address names the same block in every run of
// a campaign. AFL++'s runtime (afl-compiler-rt.o) owns the map, the fork
// server and the persistent loop, and resets the previous id between inputs.
#include <cstdint>

extern "C" {

extern std::uint8_t* __afl_area_ptr;
extern __thread std::uint32_t __afl_prev_loc[];

// AFL++'s default map size; afl-fuzz gives every target at least this.
constexpr std::uint32_t kMapMask = (1u << 16) - 1;

// Not instrumented itself (it would call itself), and kept cheap: it runs for
// every block the target enters.
__attribute__((no_sanitize_coverage, no_sanitize("address", "undefined"))) void
__sanitizer_cov_trace_pc() {
    const auto pc = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
    const auto block = static_cast<std::uint32_t>((pc * 0x9E3779B97F4A7C15ull) >> 48);
    std::uint8_t& hits = __afl_area_ptr[(block ^ __afl_prev_loc[0]) & kMapMask];
    // Never back to zero after 255: a wrapped counter would look like an
    // edge not taken.
    hits = static_cast<std::uint8_t>(hits + 1 + (hits == 255));
    __afl_prev_loc[0] = block >> 1;
}

}  // extern "C"
