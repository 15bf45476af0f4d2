# tavmor_add_raw_launcher(NAME name ATTACHED_DATA file [SPEC text] [COMPANY text]
#                         [PRODUCT text] [VERSION text])
# Links a launcher around an attached-data file exactly as given, from the
# same templates the packing tool fills. Tests use it for hand-made data (a
# wrong header, a cut stream); texts must be ASCII here.
function(_tavmor_ascii_units out text)
  string(HEX "${text}" hex)
  string(REGEX REPLACE "(..)" "0x\\1," units "${hex}")
  set(${out} "${units}0" PARENT_SCOPE)
endfunction()

function(tavmor_add_raw_launcher)
  cmake_parse_arguments(L "" "NAME;ATTACHED_DATA;SPEC;COMPANY;PRODUCT;VERSION" "" ${ARGN})
  if(NOT DEFINED L_PRODUCT)
    set(L_PRODUCT "TavmorTest")
  endif()
  if(NOT DEFINED L_COMPANY)
    set(L_COMPANY "${L_PRODUCT}")
  endif()
  if(NOT DEFINED L_VERSION)
    set(L_VERSION "1.0.0")
  endif()
  if(NOT DEFINED L_SPEC)
    set(L_SPEC "{TEMP}\\${L_PRODUCT}\\${L_VERSION}")
  endif()
  _tavmor_ascii_units(SPEC "${L_SPEC}")
  _tavmor_ascii_units(COMPANY "${L_COMPANY}")
  _tavmor_ascii_units(PRODUCT "${L_PRODUCT}")
  _tavmor_ascii_units(VERSION "${L_VERSION}")
  set(FILE_VERSION "${VERSION}")
  set(PRODUCT_VERSION "${VERSION}")
  set(ATTACHED_DATA "${L_ATTACHED_DATA}")
  set(PADDING 0)  # hand-made data for tests need not start a page
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${L_NAME}.sources)
  configure_file(${TAVMOR_SOURCE_DIR}/src/launcher/constants.cpp.in ${dir}/constants.cpp @ONLY)
  configure_file(${TAVMOR_SOURCE_DIR}/src/launcher/attached_data.S.in ${dir}/attached_data.S @ONLY)
  set_source_files_properties(${dir}/attached_data.S PROPERTIES OBJECT_DEPENDS ${L_ATTACHED_DATA})
  add_executable(${L_NAME} WIN32 ${dir}/constants.cpp ${dir}/attached_data.S)
  target_link_libraries(${L_NAME} PRIVATE tavmor_launcher)
  # The runtime's start-up code, linked after our library, calls wWinMain.
  target_link_options(${L_NAME} PRIVATE -municode -Wl,-u,wWinMain)
endfunction()

# The launcher runtime: what `tavmor-pack build` links a launcher from. It is
# assembled in the build folder (for the tests) and installed (for dist/) in
# the same layout, which the tool finds relative to its own bin/ folder:
#   lib/tavmor/    libtavmor_launcher.a, libzstd_decoder.a, libz.a
#   share/tavmor/  constants.cpp.in, attached_data.S.in, launcher.manifest
set(TAVMOR_RUNTIME_DIR ${CMAKE_BINARY_DIR}/runtime)
set(TAVMOR_RUNTIME_TEMPLATES ${TAVMOR_SOURCE_DIR}/src/launcher/constants.cpp.in
                             ${TAVMOR_SOURCE_DIR}/src/launcher/attached_data.S.in
                             ${TAVMOR_SOURCE_DIR}/src/launcher/launcher.manifest)
set(TAVMOR_RUNTIME_FILES)
set(runtime_libraries
    "$<TARGET_FILE:tavmor_launcher>" "${TAVMOR_RUNTIME_DIR}/lib/tavmor/libtavmor_launcher.a"
    "$<TARGET_FILE:tavmor_zstd_decoder>" "${TAVMOR_RUNTIME_DIR}/lib/tavmor/libzstd_decoder.a"
    "${TAVMOR_MINGW_ZLIB}" "${TAVMOR_RUNTIME_DIR}/lib/tavmor/libz.a")
set(copy_commands)
while(runtime_libraries)
  list(POP_FRONT runtime_libraries from to)
  list(APPEND copy_commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${from} ${to})
  list(APPEND TAVMOR_RUNTIME_FILES ${to})
endwhile()
foreach(template ${TAVMOR_RUNTIME_TEMPLATES})
  get_filename_component(name ${template} NAME)
  set(to ${TAVMOR_RUNTIME_DIR}/share/tavmor/${name})
  list(APPEND copy_commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${template} ${to})
  list(APPEND TAVMOR_RUNTIME_FILES ${to})
endforeach()
add_custom_command(
  OUTPUT ${TAVMOR_RUNTIME_FILES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TAVMOR_RUNTIME_DIR}/lib/tavmor
          ${TAVMOR_RUNTIME_DIR}/share/tavmor
  ${copy_commands}
  DEPENDS tavmor_launcher tavmor_zstd_decoder ${TAVMOR_MINGW_ZLIB} ${TAVMOR_RUNTIME_TEMPLATES}
  COMMENT "Assembling the launcher runtime in ${TAVMOR_RUNTIME_DIR}"
  VERBATIM)
add_custom_target(tavmor_runtime ALL DEPENDS ${TAVMOR_RUNTIME_FILES})

install(TARGETS tavmor_launcher tavmor_zstd_decoder ARCHIVE DESTINATION lib/tavmor)
install(FILES ${TAVMOR_MINGW_ZLIB} DESTINATION lib/tavmor RENAME libz.a)
install(FILES ${TAVMOR_RUNTIME_TEMPLATES} DESTINATION share/tavmor)

# The host build's tavmor-pack; scripts/test builds the host preset first.
set(TAVMOR_PACK ${TAVMOR_SOURCE_DIR}/build/host/tools/pack/tavmor-pack
    CACHE FILEPATH "tavmor-pack, built by the host preset")

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
# launcher is packed again when the tool, the runtime or an app folder in
# DEPENDS changes.
function(tavmor_add_packed_launcher)
  cmake_parse_arguments(L "" "NAME;APP_DIR" "DEPENDS;PACK_ARGS" ${ARGN})
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${L_NAME}.exe)
  set(app_dir ${L_APP_DIR})
  set(depends ${L_DEPENDS})
  if(TARGET ${L_APP_DIR})
    get_target_property(app_dir ${L_APP_DIR} TAVMOR_APP_DIR)
    list(APPEND depends ${L_APP_DIR})
  endif()
  set(file_depends ${TAVMOR_PACK} ${TAVMOR_RUNTIME_FILES})
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
    COMMAND ${TAVMOR_PACK} build ${app_dir} -o ${out} --runtime ${TAVMOR_RUNTIME_DIR} ${L_PACK_ARGS}
    DEPENDS ${file_depends} ${depends} tavmor_runtime
    COMMENT "Packing ${L_NAME}.exe"
    VERBATIM)
  add_custom_target(${L_NAME} ALL DEPENDS ${out})
  set_target_properties(${L_NAME} PROPERTIES TAVMOR_LAUNCHER_FILE ${out})
endfunction()
