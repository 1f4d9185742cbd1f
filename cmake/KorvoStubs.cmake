# The stand-in runtime stubs (platform/stubs) are built once per configure
# into one folder shared by every build tree, under a lock so two trees
# configured at the same time do not build them twice at once. Each build
# tree then copies them beside the compiler and packs the stored slots.
set(KORVO_STUB_DIR "${CMAKE_SOURCE_DIR}/build-stubs" CACHE PATH "Where the runtime stubs are built")
set(stub_sources_dir ${CMAKE_SOURCE_DIR}/platform/stubs)
file(GLOB stub_inputs ${stub_sources_dir}/*)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${stub_inputs})

file(MAKE_DIRECTORY ${KORVO_STUB_DIR})
file(LOCK ${KORVO_STUB_DIR} DIRECTORY GUARD FILE TIMEOUT 600 RESULT_VARIABLE stub_lock)
execute_process(COMMAND ${CMAKE_COMMAND} -S ${stub_sources_dir} -B ${KORVO_STUB_DIR} -G Ninja
                RESULT_VARIABLE stub_failed OUTPUT_VARIABLE stub_log ERROR_VARIABLE stub_log)
if(NOT stub_failed)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${KORVO_STUB_DIR}
                  RESULT_VARIABLE stub_failed OUTPUT_VARIABLE stub_build_log ERROR_VARIABLE stub_build_log)
  string(APPEND stub_log "${stub_build_log}")
endif()
file(LOCK ${KORVO_STUB_DIR} DIRECTORY RELEASE)
if(stub_failed)
  message(FATAL_ERROR "runtime stubs failed to build:\n${stub_log}")
endif()
string(REGEX MATCHALL "stubs: [^\n]*" stub_notes "${stub_log}")
foreach(note IN LISTS stub_notes)
  message(STATUS "${note}")
endforeach()

# Beside the compiler, with the Windows stubs also serving windows_xp.
set(stub_files "")
file(GLOB_RECURSE built_stubs RELATIVE ${KORVO_STUB_DIR} ${KORVO_STUB_DIR}/*.kes)
list(TRANSFORM built_stubs PREPEND ${KORVO_STUB_DIR}/ OUTPUT_VARIABLE KORVO_STUB_SEEDS)
foreach(relative IN LISTS built_stubs)
  set(targets ${CMAKE_BINARY_DIR}/${relative})
  if(relative MATCHES "^windows/")
    string(REGEX REPLACE "^windows/" "windows_xp/" xp "${relative}")
    list(APPEND targets ${CMAKE_BINARY_DIR}/${xp})
  endif()
  foreach(target IN LISTS targets)
    add_custom_command(OUTPUT ${target}
                       COMMAND ${CMAKE_COMMAND} -E copy ${KORVO_STUB_DIR}/${relative} ${target}
                       DEPENDS ${KORVO_STUB_DIR}/${relative} VERBATIM)
    list(APPEND stub_files ${target})
  endforeach()
endforeach()
add_custom_target(korvo_stub_files ALL DEPENDS ${stub_files})
add_dependencies(korvo korvo_stub_files)

# The stored slots, in their fixed order; "-" marks an empty one.
set(slot_args "")
set(slot_depends "")
foreach(slot windows/x86/kvsw windows/x86/kvswd windows/x86_64/kvsw windows/x86_64/kvswd
             linux/x86/kvsl linux/x86/kvsld linux/x86_64/kvsl linux/x86_64/kvsld
             darwin/x86_64/kvsm darwin/x86_64/kvsmd)
  if(EXISTS ${KORVO_STUB_DIR}/${slot}.kes)
    list(APPEND slot_args ${KORVO_STUB_DIR}/${slot}.kes)
    list(APPEND slot_depends ${KORVO_STUB_DIR}/${slot}.kes)
  else()
    list(APPEND slot_args -)
  endif()
endforeach()
add_executable(korvo-stub-pack executable/tools/stub_pack.cpp)
target_link_libraries(korvo-stub-pack PRIVATE korvo_foundation)
set(stored_stub_source ${CMAKE_BINARY_DIR}/generated/stored_stub_data.cpp)
add_custom_command(OUTPUT ${stored_stub_source}
                   COMMAND korvo-stub-pack ${stored_stub_source} ${slot_args}
                   DEPENDS korvo-stub-pack ${slot_depends} VERBATIM)
target_sources(korvo_executable PRIVATE ${stored_stub_source})
