// C++ runtime support for the Windows program, which is built without
// exceptions. Linked into launcher.exe only.
//
// The toolchain's C++ library is itself built with exceptions: its string
// code and its allocation throw, and throwing drags in the unwinder, a
// thread library and a name demangler for the default terminate message,
// some 200 KiB of a 265 KiB program that cannot catch anything anyway.
// Providing these few definitions here keeps the library's throwing copies
// out of the link.
//
// Every path below is a failure the launcher has no answer to (memory ran
// out, or a string grew past its maximum size). It ends the process quietly
// with exit code 3, the code abort() would give, but without the message box
// that abort() may show from a windowed program, which would stall an
// unattended run.
#include <cstdlib>
#include <new>
#include <string>

namespace {

[[noreturn]] void Fail() { std::_Exit(3); }

}  // namespace

void* operator new(std::size_t size) {
  void* block = std::malloc(size != 0 ? size : 1);
  if (block == nullptr) Fail();
  return block;
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t /*size*/) noexcept {
  std::free(block);
}

#if defined(__GLIBCXX__)
// The library's error entry points, which would otherwise throw. The
// library declares them for exactly this use: builds without exceptions.
namespace std {  // NOLINT(cert-dcl58-cpp)
void __throw_length_error(const char* /*what*/) { Fail(); }
void __throw_logic_error(const char* /*what*/) { Fail(); }
void __throw_out_of_range(const char* /*what*/) { Fail(); }
// NOLINTNEXTLINE(cert-dcl50-cpp): the library's own declaration is variadic.
void __throw_out_of_range_fmt(const char* /*format*/, ...) { Fail(); }
void __throw_bad_alloc() { Fail(); }
void __throw_bad_array_new_length() { Fail(); }
}  // namespace std

// The string code, instantiated here without exceptions instead of taken
// from the library.
template class std::basic_string<char>;
#endif
