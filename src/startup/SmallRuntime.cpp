// Keeps the program small: the library's own versions of these pull in its
// symbol demangler and a second string implementation. The errors still arrive
// as exceptions derived from std::exception, and an uncaught one still ends the program.
#include <cstdlib>
#include <exception>
#include <new>
#include <typeinfo>

namespace {
class LibraryError : public std::exception {
public:
    explicit LibraryError(const char* what) : what_(what) {}
    const char* what() const noexcept override { return what_; }

private:
    const char* what_;
};
}  // namespace

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_cast() { throw std::bad_cast(); }
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_typeid() { throw std::bad_typeid(); }
void __throw_bad_exception() { throw std::bad_exception(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_logic_error(const char* s) { throw LibraryError(s); }
void __throw_range_error(const char* s) { throw LibraryError(s); }
void __throw_domain_error(const char* s) { throw LibraryError(s); }
void __throw_length_error(const char* s) { throw LibraryError(s); }
void __throw_out_of_range(const char* s) { throw LibraryError(s); }
void __throw_runtime_error(const char* s) { throw LibraryError(s); }
void __throw_overflow_error(const char* s) { throw LibraryError(s); }
void __throw_underflow_error(const char* s) { throw LibraryError(s); }
void __throw_invalid_argument(const char* s) { throw LibraryError(s); }
void __throw_out_of_range_fmt(const char* s, ...) { throw LibraryError(s); }
}  // namespace std
