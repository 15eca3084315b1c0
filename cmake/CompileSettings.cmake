# One interface target carries the language level and warnings for every target of the project.
add_library(tessaly_settings INTERFACE)
target_compile_features(tessaly_settings INTERFACE cxx_std_20)
target_compile_options(tessaly_settings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-qual -Wformat=2
    -Wimplicit-fallthrough -Wmissing-declarations -Wundef
    # Aggregates lean on default member initialisers; GCC warns about them anyway.
    -Wno-missing-field-initializers)
if(TESSALY_WERROR)
    target_compile_options(tessaly_settings INTERFACE -Werror)
endif()
# Qt strictness: no implicit string conversions, no string-based connections.
target_compile_definitions(tessaly_settings INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING
    QT_NO_CAST_FROM_BYTEARRAY QT_NO_CONTEXTLESS_CONNECT QT_NO_KEYWORDS
    QT_STRICT_ITERATORS QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)

# Adds a GoogleTest program whose cases CTest lists one by one.
function(tessaly_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE tessaly_settings tessaly_test_support
        ${ARG_LIBRARIES} GTest::gtest GTest::gtest_main)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 120)
endfunction()

# Coverage instrumentation for the libFuzzer targets (clang only).
if(TESSALY_FUZZ)
    target_compile_options(tessaly_settings INTERFACE -fsanitize=fuzzer-no-link,address,undefined)
    target_link_options(tessaly_settings INTERFACE -fsanitize=address,undefined)
endif()

# Memory and undefined-behaviour checks for every target (scripts/sanitize.sh).
if(TESSALY_SANITIZE)
    target_compile_options(tessaly_settings INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(tessaly_settings INTERFACE -fsanitize=address,undefined)
endif()
