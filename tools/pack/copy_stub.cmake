# Copies the windows preset's launcher stub beside the tool's build, keeping
# the copy's time when nothing changed so that only a new stub rebuilds it.
#   cmake -DSTUB=... -DCOPY=... -P copy_stub.cmake
if(NOT EXISTS "${STUB}")
  message(FATAL_ERROR "no launcher stub at ${STUB}: build it first with "
                      "`cmake --preset windows && cmake --build --preset windows-stub` "
                      "(scripts/build does)")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${STUB} ${COPY}
                COMMAND_ERROR_IS_FATAL ANY)
