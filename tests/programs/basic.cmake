# Programs of the language core: strings, objects, arrays, Data, arithmetic and
# RuntimeStats through the real linker and calling convention.
set(KS_BASIC_PROGRAMS
  basic_strings basic_objects basic_arrays basic_data basic_arithmetic
  basic_null_object basic_stats)
foreach(program ${KS_BASIC_PROGRAMS})
  ks_add_program(${program} ${CMAKE_CURRENT_SOURCE_DIR}/${program}.c)
endforeach()

ks_add_test(basic_program_test basic_program_test.cpp process_runner.cpp LIBS ks_platform)
target_compile_definitions(basic_program_test PRIVATE
  KS_BIN_DIR="${CMAKE_BINARY_DIR}/bin" KS_PROGRAM_DIR="${CMAKE_BINARY_DIR}/programs")
add_dependencies(basic_program_test ksrun kestrel-runtime)
foreach(program ${KS_BASIC_PROGRAMS})
  add_dependencies(basic_program_test program_${program})
endforeach()
