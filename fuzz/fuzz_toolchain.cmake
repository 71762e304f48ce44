# Included by the top-level CMakeLists.txt when KIROKU_FUZZ is on, before any
# target is defined, so that the core is compiled with the same coverage
# instrumentation and sanitizers as the fuzz targets that drive it.
#
# libFuzzer ships with clang's runtime libraries (Debian: clang-19 and
# libclang-rt-19-dev).  Older clangs cannot build the core's C++23 against
# Debian 12's libstdc++, and g++ has no libFuzzer; with either, the fuzz
# targets are skipped and the rest of the build goes on.
include(CheckCXXSourceCompiles)

set(KIROKU_FUZZ_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang" OR CMAKE_CXX_COMPILER_VERSION VERSION_LESS 19)
  message(STATUS "Fuzz targets skipped: they need clang 19 or later (configure with CXX=clang++-19), "
                 "not ${CMAKE_CXX_COMPILER_ID} ${CMAKE_CXX_COMPILER_VERSION}")
  set(KIROKU_FUZZ OFF)
  return()
endif()

set(CMAKE_REQUIRED_FLAGS "-fsanitize=fuzzer,address,undefined")
set(CMAKE_REQUIRED_LINK_OPTIONS -fsanitize=fuzzer,address,undefined)
check_cxx_source_compiles([[
#include <cstddef>
#include <cstdint>
#include <expected>
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) {
  std::expected<int, int> value = 0;
  return *value;
}
]] KIROKU_HAVE_LIBFUZZER)
unset(CMAKE_REQUIRED_FLAGS)
unset(CMAKE_REQUIRED_LINK_OPTIONS)
if(NOT KIROKU_HAVE_LIBFUZZER)
  message(STATUS "Fuzz targets skipped: ${CMAKE_CXX_COMPILER} cannot link libFuzzer with the sanitizers "
                 "(Debian: libclang-rt-19-dev)")
  set(KIROKU_FUZZ OFF)
  return()
endif()

# Everything is instrumented for coverage; only the fuzz targets link the
# fuzzer's main.  The library assertions turn an out-of-range index into a
# report even where AddressSanitizer sees only valid memory (inside a
# vector's capacity).
add_compile_options(-fsanitize=fuzzer-no-link ${KIROKU_FUZZ_FLAGS})
add_link_options(-fsanitize=address,undefined)
add_compile_definitions(_GLIBCXX_ASSERTIONS)
