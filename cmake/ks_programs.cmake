# ks_add_program(NAME SOURCE): builds a C (or .S assembly) test program into a module image.
# The source is compiled as a freestanding i386 object (no libc: it may call only the
# runtime, declared in the generated kestrel_runtime.h, which tests/programs/kestrel.h
# includes) and converted by elf2module into ${CMAKE_BINARY_DIR}/programs/NAME.ksm.
# The custom target program_NAME builds it.
set(KS_PROGRAM_CFLAGS
  -m32 -c -fno-pic -fno-pie -O1
  -fno-stack-protector -fno-asynchronous-unwind-tables
  -ffreestanding -fno-builtin)
get_filename_component(KS_PROGRAM_INCLUDE_DIR ${CMAKE_CURRENT_LIST_DIR}/../tests/programs ABSOLUTE)
# Where ksheader writes kestrel_runtime.h (tools/ksheader).
set(KS_GENERATED_INCLUDE_DIR ${CMAKE_BINARY_DIR}/include)

function(ks_add_program name source)
  get_filename_component(source_path ${source} ABSOLUTE)
  set(object ${CMAKE_CURRENT_BINARY_DIR}/${name}.o)
  set(module ${CMAKE_BINARY_DIR}/programs/${name}.ksm)
  add_custom_command(
    OUTPUT ${object}
    COMMAND gcc ${KS_PROGRAM_CFLAGS} -I${KS_PROGRAM_INCLUDE_DIR} -I${KS_GENERATED_INCLUDE_DIR}
            -MD -MF ${object}.d -o ${object} ${source_path}
    DEPENDS ${source_path} kestrel_header
    DEPFILE ${object}.d
    COMMENT "Compiling program ${name}"
    VERBATIM)
  add_custom_command(
    OUTPUT ${module}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/programs
    COMMAND elf2module ${object} ${module}
    DEPENDS ${object} elf2module
    COMMENT "Converting program ${name} to a module image"
    VERBATIM)
  add_custom_target(program_${name} ALL DEPENDS ${module})
endfunction()

# ks_add_basic_program(NAME SOURCE [kbc options...]): compiles a Kestrel Basic program
# with kbc into ${CMAKE_BINARY_DIR}/programs/NAME.ksm. The custom target program_NAME
# builds it.
function(ks_add_basic_program name source)
  get_filename_component(source_path ${source} ABSOLUTE)
  set(module ${CMAKE_BINARY_DIR}/programs/${name}.ksm)
  add_custom_command(
    OUTPUT ${module}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/programs
    COMMAND kbc ${ARGN} ${source_path} -o ${module}
    DEPENDS ${source_path} kbc
    COMMENT "Compiling Kestrel Basic program ${name}"
    VERBATIM)
  add_custom_target(program_${name} ALL DEPENDS ${module})
endfunction()
