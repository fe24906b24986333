# Warnings and sanitizers for lorvane's own targets.
function(lorvane_target_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(LORVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
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
  if(TARGET lorvane_testsupport)
    # In-memory streams and the test-font writers.
    target_link_libraries(${name}_replay PRIVATE lorvane_testsupport)
  endif()
  lorvane_target_options(${name}_replay)
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
    lorvane_target_options(${name}_fuzz)
  endif()
endfunction()
