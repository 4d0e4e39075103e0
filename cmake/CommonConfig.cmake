# One interface target carries the language level, warnings and sanitizer flags for every target.
add_library(qw_common INTERFACE)
target_compile_features(qw_common INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(qw_common INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(qw_common INTERFACE
  $<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>
  QT_NO_CONTEXTLESS_CONNECT
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)

if(QW_SANITIZE OR QW_FUZZ)
  set(qw_san_flags -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_compile_options(qw_common INTERFACE ${qw_san_flags})
  target_link_options(qw_common INTERFACE -fsanitize=address,undefined)
endif()

if(QW_TSAN)
  if(QW_SANITIZE OR QW_FUZZ)
    message(FATAL_ERROR "The thread sanitizer does not combine with the address sanitizer")
  endif()
  target_compile_options(qw_common INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(qw_common INTERFACE -fsanitize=thread)
endif()

if(QW_FUZZ)
  # Coverage instrumentation for the library code the fuzz targets drive.
  target_compile_options(qw_common INTERFACE -fsanitize=fuzzer-no-link)
endif()
