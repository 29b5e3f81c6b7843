# Include folders that hold a layer to its table (src/layers.txt): each
# library gets a folder of its own in the build tree with links to its own
# folder and the ones it may see, so that any other include fails to compile
# while the sources keep writing "core/x.h".
get_filename_component(PELMORA_SRC_DIR ${CMAKE_CURRENT_LIST_DIR}/../src ABSOLUTE)
set(PELMORA_LAYER_TABLE ${PELMORA_SRC_DIR}/layers.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PELMORA_LAYER_TABLE})

# Links entry (a folder or one header under src/) into root. A folder that
# holds other layers (platform) is linked file by file, so that its
# subfolders stay out unless named themselves.
function(_pelmora_link_entry root entry)
  set(source ${PELMORA_SRC_DIR}/${entry})
  set(link ${root}/${entry})
  if(NOT EXISTS ${source})
    message(FATAL_ERROR "${PELMORA_LAYER_TABLE} names ${entry}, which is not in src/")
  endif()
  get_filename_component(parent ${link} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  set(has_subfolders FALSE)
  if(IS_DIRECTORY ${source})
    file(GLOB children LIST_DIRECTORIES true ${source}/*)
    foreach(child ${children})
      if(IS_DIRECTORY ${child})
        set(has_subfolders TRUE)
      endif()
    endforeach()
  endif()
  if(has_subfolders)
    file(MAKE_DIRECTORY ${link})
    file(GLOB headers CONFIGURE_DEPENDS ${source}/*.h)
    foreach(header ${headers})
      get_filename_component(name ${header} NAME)
      file(CREATE_LINK ${header} ${link}/${name} SYMBOLIC)
    endforeach()
  else()
    file(CREATE_LINK ${source} ${link} SYMBOLIC)
  endif()
endfunction()

# pelmora_layer(TARGET FOLDER): TARGET's sources live in src/FOLDER and see
# what the table allows FOLDER.
function(pelmora_layer target folder)
  file(STRINGS ${PELMORA_LAYER_TABLE} lines REGEX "^${folder}:")
  if(NOT lines)
    message(FATAL_ERROR "${PELMORA_LAYER_TABLE} has no line for ${folder}")
  endif()
  string(REGEX REPLACE "^${folder}:[ ]*" "" allowed "${lines}")
  separate_arguments(allowed)
  string(REPLACE "/" "_" root_name ${folder})
  set(root ${CMAKE_BINARY_DIR}/layer_include/${root_name})
  file(REMOVE_RECURSE ${root})
  foreach(entry ${folder} ${allowed})
    _pelmora_link_entry(${root} ${entry})
  endforeach()
  target_include_directories(${target} PRIVATE ${root})
endfunction()
