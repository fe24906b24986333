# Warnings and sanitizers for lorvane's own targets.
function(lorvane_target_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(LORVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
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

set(LORVANE_SANITIZE_FLAGS "")
if(LORVANE_ASAN)
  list(APPEND LORVANE_SANITIZE_FLAGS -fsanitize=address)
endif()
if(LORVANE_UBSAN)
  list(APPEND LORVANE_SANITIZE_FLAGS -fsanitize=undefined -fno-sanitize-recover=undefined)
endif()
if(LORVANE_FUZZ)
  # Coverage instrumentation for everything that a fuzz target links.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
if(LORVANE_SANITIZE_FLAGS)
  add_compile_options(${LORVANE_SANITIZE_FLAGS} -fno-omit-frame-pointer)
  add_link_options(${LORVANE_SANITIZE_FLAGS})
endif()

# lorvane_add_fuzz(name): fuzz/<name>_fuzz.cpp defines LLVMFuzzerTestOneInput.
# It always builds as <name>_replay, a plain program that replays every file
# of fuzz/corpus/<name>/ and is registered with CTest; with LORVANE_FUZZ it
# also builds as the libFuzzer binary <name>_fuzz.
function(lorvane_add_fuzz name)
  set(src ${PROJECT_SOURCE_DIR}/fuzz/${name}_fuzz.cpp)
  add_executable(${name}_replay ${src} ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
  target_link_libraries(${name}_replay PRIVATE lorvane_driver)
  # In-memory streams and the other helpers of the test support.
  if(TARGET lorvane_testsupport)
    target_link_libraries(${name}_replay PRIVATE lorvane_testsupport)
  endif()
  lorvane_test_target_options(${name}_replay)
  add_test(NAME fuzz_replay_${name}
           COMMAND ${name}_replay ${PROJECT_SOURCE_DIR}/fuzz/corpus/${name})
  if(LORVANE_FUZZ)
    add_executable(${name}_fuzz ${src})
    target_compile_options(${name}_fuzz PRIVATE -fsanitize=fuzzer)
    target_link_options(${name}_fuzz PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name}_fuzz PRIVATE lorvane_driver)
    if(TARGET lorvane_testsupport)
      target_link_libraries(${name}_fuzz PRIVATE lorvane_testsupport)
    endif()
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
