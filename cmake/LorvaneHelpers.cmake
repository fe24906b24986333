# Sanitizer flags of the build, applied to each of lorvane's own targets by
# lorvane_target_options (never directory-wide, so that targets of other
# projects built alongside are left as their authors made them).
set(LORVANE_SANITIZE_FLAGS "")
if(LORVANE_ASAN)
  list(APPEND LORVANE_SANITIZE_FLAGS -fsanitize=address)
endif()
if(LORVANE_UBSAN)
  list(APPEND LORVANE_SANITIZE_FLAGS -fsanitize=undefined -fno-sanitize-recover=undefined)
endif()

# Warnings, sanitizers and fuzzing coverage for lorvane's own targets.
function(lorvane_target_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(LORVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(LORVANE_SANITIZE_FLAGS)
    target_compile_options(${target} PRIVATE ${LORVANE_SANITIZE_FLAGS} -fno-omit-frame-pointer)
    # An instrumented static library needs the sanitizer run-times in every
    # program that links it.
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "STATIC_LIBRARY")
      target_link_options(${target} INTERFACE ${LORVANE_SANITIZE_FLAGS})
    else()
      target_link_options(${target} PRIVATE ${LORVANE_SANITIZE_FLAGS})
    endif()
  endif()
  if(LORVANE_FUZZ)
    # Coverage instrumentation for everything that a fuzz target links.
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()

# For the library and the tool: errors are results, never exceptions, and
# nothing needs run-time type information, so neither is compiled in.  The
# tool then needs no C++ run-time library at all (see lorvane_lean_program).
function(lorvane_product_options target)
  lorvane_target_options(${target})
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
endfunction()

# For programs built from such code: libraries the program does not use are
# not recorded as needed, so the C++ run-time library, libgcc_s and libm are
# not loaded and relocated at every start (about 1 ms, as much as indexing
# thirty compressed fonts).
function(lorvane_lean_program target)
  target_link_options(${target} PRIVATE -Wl,--as-needed)
endfunction()

# For test-side targets: g++ 12 at -O3 reports std::string concatenation as
# overlapping copies (a false -Wrestrict inside the library's own headers).
function(lorvane_test_target_options target)
  lorvane_target_options(${target})
  target_compile_options(${target} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
endfunction()

# lorvane_add_layer(target dir SOURCES file... [DEPENDS target...]): the
# static library of one layer, built from the listed files of dir/ and
# linking the lower layers it stands on.  Its headers are included as
# "dir/name.h" through an include directory of its own in the build tree
# that holds nothing but a link named dir to the source directory.  A layer
# therefore sees its own headers and those of the layers it links, and an
# include of a higher layer's header fails to compile ("No such file").
function(lorvane_add_layer target dir)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "SOURCES;DEPENDS")
  set(root ${PROJECT_BINARY_DIR}/layers/${dir})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${dir} ${root}/${dir} SYMBOLIC)
  list(TRANSFORM arg_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/${dir}/)
  add_library(${target} STATIC ${arg_SOURCES})
  target_include_directories(${target} PUBLIC ${root})
  target_link_libraries(${target} PUBLIC ${arg_DEPENDS})
  lorvane_product_options(${target})
endfunction()

# lorvane_add_fuzz(name): fuzz/<name>_fuzz.cpp defines LLVMFuzzerTestOneInput.
# It always builds as <name>_replay, a plain program that replays every file
# of fuzz/corpus/<name>/ and is registered with CTest; with LORVANE_FUZZ it
# also builds as the libFuzzer binary <name>_fuzz.
function(lorvane_add_fuzz name)
  set(src ${PROJECT_SOURCE_DIR}/fuzz/${name}_fuzz.cpp)
  add_executable(${name}_replay ${src} ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
  # The driver, and in-memory streams and the other helpers of the test
  # support.
  target_link_libraries(${name}_replay PRIVATE lorvane_driver lorvane_testsupport)
  lorvane_test_target_options(${name}_replay)
  add_test(NAME fuzz_replay_${name}
           COMMAND ${name}_replay ${PROJECT_SOURCE_DIR}/fuzz/corpus/${name})
  if(LORVANE_FUZZ)
    add_executable(${name}_fuzz ${src})
    target_compile_options(${name}_fuzz PRIVATE -fsanitize=fuzzer)
    target_link_options(${name}_fuzz PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name}_fuzz PRIVATE lorvane_driver lorvane_testsupport)
    lorvane_test_target_options(${name}_fuzz)
  endif()
endfunction()

# lorvane_register_each(dir suffix function): calls function(name) for every
# dir/<name><suffix>.cpp, so that a new test, fuzz target or benchmark is
# registered by adding its file.
function(lorvane_register_each dir suffix fn)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*${suffix}.cpp)
  foreach(src ${sources})
    get_filename_component(base ${src} NAME_WE)
    string(REGEX REPLACE "${suffix}$" "" name ${base})
    cmake_language(CALL ${fn} ${name})
  endforeach()
endfunction()
