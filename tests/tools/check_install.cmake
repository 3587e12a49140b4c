# Installs the build into a scratch DESTDIR and checks that every program
# and manual page lands under PREFIX/bin and PREFIX/share/man/man1.
# Takes BUILD_DIR, SCRATCH, PROGRAMS and PAGES (comma-separated names).
string(REPLACE "," ";" PROGRAMS "${PROGRAMS}")
string(REPLACE "," ";" PAGES "${PAGES}")
file(REMOVE_RECURSE "${SCRATCH}")
set(ENV{DESTDIR} "${SCRATCH}")
execute_process(
  COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix /opt/kalidor-check
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed:\n${output}")
endif()
set(root "${SCRATCH}/opt/kalidor-check")
foreach(program ${PROGRAMS})
  if(NOT EXISTS "${root}/bin/${program}")
    message(FATAL_ERROR "${program} not installed in ${root}/bin")
  endif()
endforeach()
foreach(page ${PAGES})
  if(NOT EXISTS "${root}/share/man/man1/${page}.1")
    message(FATAL_ERROR "${page}.1 not installed in ${root}/share/man/man1")
  endif()
endforeach()
file(REMOVE_RECURSE "${SCRATCH}")
