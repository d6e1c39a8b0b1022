# Installs the build into a fresh folder and checks that a desktop finds everything there:
# both programs (which print their version), the menu entry, icons, AppStream description,
# file types and man pages.
#
# cmake -DBUILD_DIR=build -DWORK_DIR=scratch -DVERSION=x.y -P install_check.cmake

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed:\n${out}")
endif()

set(failures)
foreach(size 16 22 24 32 48 64 128 256)
  list(APPEND wanted share/icons/hicolor/${size}x${size}/apps/lettermoor.png)
endforeach()
list(APPEND wanted bin/lettermoor bin/lettermoor-cli share/applications/lettermoor.desktop
     share/metainfo/io.github.lettermoor.Lettermoor.metainfo.xml share/mime/packages/lettermoor.xml
     share/man/man1/lettermoor.1 share/man/man1/lettermoor-cli.1)
foreach(file IN LISTS wanted)
  if(NOT EXISTS ${prefix}/${file})
    list(APPEND failures "missing ${file}")
  endif()
endforeach()

# Each program answers --version without a display, and its man page documents that option.
foreach(program lettermoor lettermoor-cli)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
                          --unset=QT_QPA_PLATFORM ${prefix}/bin/${program} --version
                  RESULT_VARIABLE rc OUTPUT_VARIABLE version ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT version MATCHES "${VERSION}")
    list(APPEND failures "${program} --version gave ${rc}: '${version}${err}'")
  endif()
  if(EXISTS ${prefix}/share/man/man1/${program}.1)
    file(READ ${prefix}/share/man/man1/${program}.1 page)
    if(NOT page MATCHES "^\\.TH" OR NOT page MATCHES "\\\\-\\\\-version" OR page MATCHES "${BUILD_DIR}")
      list(APPEND failures "${program}.1 is not a man page of the program's options")
    endif()
  endif()
endforeach()

find_program(APPSTREAMCLI appstreamcli)
if(APPSTREAMCLI)
  execute_process(COMMAND ${APPSTREAMCLI} validate --no-net
                          ${prefix}/share/metainfo/io.github.lettermoor.Lettermoor.metainfo.xml
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    list(APPEND failures "appstreamcli refuses the metainfo file:\n${out}")
  endif()
endif()

if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "${text}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
