# Runs at install time: validates the installed desktop entry and AppStream metainfo file with
# the desktop's own checkers, when they are installed.
set(data "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${QV_INSTALLED_DATADIR}")

function(qv_validate tool package file)
  # One result variable per tool: find_program keeps what it found under that name.
  find_program(checker_${tool} ${tool})
  set(checker ${checker_${tool}})
  if(NOT checker)
    message(STATUS "${tool} not found (Debian: ${package}): ${file} was not validated")
    return()
  endif()
  execute_process(COMMAND ${checker} ${ARGN} ${data}/${file}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(result EQUAL 0)
    message(STATUS "Validated: ${data}/${file}")
  else()
    message(WARNING "${tool} finds fault with ${data}/${file}:\n${output}")
  endif()
endfunction()

qv_validate(desktop-file-validate desktop-file-utils applications/quorvel.desktop)
qv_validate(appstreamcli appstream metainfo/org.quorvel.QuorvelK.metainfo.xml validate --no-net)
