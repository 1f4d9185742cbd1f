# korvo_library(NAME DIR [MORE_DIRS...] [DEPENDS targets...] [EXCLUDE files...])
# Makes the static library korvo_NAME from every .cpp file of its folders, so
# adding a source file never means editing a list. Folders that call each
# other (the compile floor) are listed together and become one library. A
# library without sources yet becomes an interface library, keeping the
# dependency chain intact. EXCLUDE names files of any of the folders.
function(korvo_library name dir)
  cmake_parse_arguments(ARG "" "" "DEPENDS;EXCLUDE" ${ARGN})
  set(sources "")
  foreach(folder IN ITEMS ${dir} ${ARG_UNPARSED_ARGUMENTS})
    file(GLOB folder_sources CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${folder}/*.cpp")
    foreach(excluded IN LISTS ARG_EXCLUDE)
      list(REMOVE_ITEM folder_sources "${CMAKE_SOURCE_DIR}/${folder}/${excluded}")
    endforeach()
    list(APPEND sources ${folder_sources})
  endforeach()
  if(sources)
    add_library(korvo_${name} STATIC ${sources})
    target_include_directories(korvo_${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(korvo_${name} PUBLIC ${ARG_DEPENDS})
  else()
    add_library(korvo_${name} INTERFACE)
    target_include_directories(korvo_${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(korvo_${name} INTERFACE ${ARG_DEPENDS})
  endif()
endfunction()
