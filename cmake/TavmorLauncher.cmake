# The host build's tools: tavmor-pack, and raw_launcher for tests that need a
# launcher around hand-made attached data. scripts/build and scripts/test
# build the host preset before the rest of this one.
set(TAVMOR_PACK ${TAVMOR_SOURCE_DIR}/build/host/tools/pack/tavmor-pack
    CACHE FILEPATH "tavmor-pack, built by the host preset")
set(TAVMOR_RAW_LAUNCHER ${TAVMOR_SOURCE_DIR}/build/host/tests/pack/raw_launcher
    CACHE FILEPATH "raw_launcher, built by the host preset")

# tavmor_add_raw_launcher(NAME name ATTACHED_DATA file [SPEC text] [PRODUCT text]
#                         [VERSION text] [DAMAGE unstamped|beyond|section|short])
# tavmor_add_raw_launcher(NAME name ENTRY name file [SPEC text] ...)
# Stamps a launcher around an attached-data file exactly as given, or around
# one entry that tavmor-pack would refuse (a first entry that is no program),
# without tavmor-pack's checks. Tests use it for hand-made data (a wrong
# header, a cut stream).
function(tavmor_add_raw_launcher)
  cmake_parse_arguments(L "" "NAME;ATTACHED_DATA;SPEC;PRODUCT;VERSION;DAMAGE" "ENTRY" ${ARGN})
  if(NOT DEFINED L_PRODUCT)
    set(L_PRODUCT "TavmorTest")
  endif()
  if(NOT DEFINED L_VERSION)
    set(L_VERSION "1.0.0")
  endif()
  if(NOT DEFINED L_SPEC)
    set(L_SPEC "{TEMP}\\${L_PRODUCT}\\${L_VERSION}")
  endif()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${L_NAME}.exe)
  if(L_ENTRY)
    list(GET L_ENTRY 1 input)
    set(data_args --entry ${L_ENTRY})
  else()
    set(input ${L_ATTACHED_DATA})
    set(data_args --data ${L_ATTACHED_DATA})
  endif()
  if(L_DAMAGE)
    list(APPEND data_args --damage ${L_DAMAGE})
  endif()
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${TAVMOR_RAW_LAUNCHER} ${out} ${data_args} --spec ${L_SPEC} --product ${L_PRODUCT}
            --version ${L_VERSION}
    DEPENDS ${TAVMOR_RAW_LAUNCHER} ${input}
    COMMENT "Stamping ${L_NAME}.exe"
    VERBATIM)
  add_custom_target(${L_NAME} ALL DEPENDS ${out})
  set_target_properties(${L_NAME} PROPERTIES TAVMOR_LAUNCHER_FILE ${out})
endfunction()

# tavmor_add_app_folder(NAME name FILES <target-or-file> <relative-name> ...)
# Assembles an application folder ${CMAKE_CURRENT_BINARY_DIR}/<name> at build
# time, afresh on every change: each pair copies a target's executable or a
# file to <relative-name> inside it ('/' between folders). The target <name>
# builds it; pass it to tavmor_add_packed_launcher's DEPENDS.
#   tavmor_add_app_folder(NAME hello_app FILES hello hello.exe
#                         ${CMAKE_CURRENT_SOURCE_DIR}/greeting.txt data/greeting.txt)
function(tavmor_add_app_folder)
  cmake_parse_arguments(A "" "NAME" "FILES" ${ARGN})
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${A_NAME})
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${A_NAME}.stamp)
  set(commands COMMAND ${CMAKE_COMMAND} -E rm -rf ${dir})
  set(depends)
  set(files ${A_FILES})
  while(files)
    list(POP_FRONT files source name)
    if(TARGET ${source})
      set(source $<TARGET_FILE:${source}>)
    endif()
    get_filename_component(parent ${dir}/${name} DIRECTORY)
    list(APPEND commands COMMAND ${CMAKE_COMMAND} -E make_directory ${parent}
         COMMAND ${CMAKE_COMMAND} -E copy ${source} ${dir}/${name})
    list(APPEND depends ${source})
  endwhile()
  list(TRANSFORM depends REPLACE "^\\$<TARGET_FILE:(.*)>$" "\\1")
  add_custom_command(OUTPUT ${stamp} ${commands} COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
                     DEPENDS ${depends} VERBATIM)
  add_custom_target(${A_NAME} DEPENDS ${stamp})
  set_target_properties(${A_NAME} PROPERTIES TAVMOR_APP_DIR ${dir} TAVMOR_APP_STAMP ${stamp})
endfunction()

# tavmor_add_packed_launcher(NAME name APP_DIR dir [DEPENDS targets...]
#                            [PACK_ARGS args...])
# Packs `dir` with `tavmor-pack build` into ${CMAKE_CURRENT_BINARY_DIR}/<name>.exe,
# built by the target <name> (also the target property TAVMOR_LAUNCHER_FILE).
# APP_DIR may name a tavmor_add_app_folder target instead of a folder. The
# launcher is packed again when the tool (which carries the launcher stub) or
# an app folder in DEPENDS changes.
function(tavmor_add_packed_launcher)
  cmake_parse_arguments(L "" "NAME;APP_DIR" "DEPENDS;PACK_ARGS" ${ARGN})
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${L_NAME}.exe)
  set(app_dir ${L_APP_DIR})
  set(depends ${L_DEPENDS})
  if(TARGET ${L_APP_DIR})
    get_target_property(app_dir ${L_APP_DIR} TAVMOR_APP_DIR)
    list(APPEND depends ${L_APP_DIR})
  endif()
  set(file_depends ${TAVMOR_PACK})
  foreach(dependency ${depends})
    if(TARGET ${dependency})
      get_target_property(stamp ${dependency} TAVMOR_APP_STAMP)
      if(stamp)
        list(APPEND file_depends ${stamp})
      endif()
    endif()
  endforeach()
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${TAVMOR_PACK} build ${app_dir} -o ${out} ${L_PACK_ARGS}
    DEPENDS ${file_depends} ${depends}
    COMMENT "Packing ${L_NAME}.exe"
    VERBATIM)
  add_custom_target(${L_NAME} ALL DEPENDS ${out})
  set_target_properties(${L_NAME} PROPERTIES TAVMOR_LAUNCHER_FILE ${out})
endfunction()
