# Installing like desktop software: the AppStream metadata, the files Debian
# wants with a package, and the Debian package itself, made by CPack with
#   cpack -G DEB        (in the build directory)
# The version is the one of project(); a release sets it there and its date
# here, and adds its notes to assets/vormant.metainfo.xml.

set(VORMANT_RELEASE_DATE 2026-12-08)  # of release ${PROJECT_VERSION}, YYYY-MM-DD

# Stand-ins until the project has a home of its own. The AppStream ID is that
# domain reversed; once published it should never change.
set(VORMANT_HOMEPAGE https://vormant.example.org/)
set(VORMANT_APPSTREAM_ID org.example.vormant)
set(VORMANT_CONTACT_EMAIL maintainers@vormant.example.org)

# The release date as the Debian changelog writes it (RFC 5322), with the
# day of the week by Sakamoto's method.
if(NOT VORMANT_RELEASE_DATE MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
  message(FATAL_ERROR "VORMANT_RELEASE_DATE ${VORMANT_RELEASE_DATE} is no YYYY-MM-DD date")
endif()
set(_year ${CMAKE_MATCH_1})
set(_month_text ${CMAKE_MATCH_2})
set(_day_text ${CMAKE_MATCH_3})
string(REGEX REPLACE "^0" "" _month ${_month_text})
string(REGEX REPLACE "^0" "" _day ${_day_text})
set(_offsets 0 3 2 5 0 3 5 1 4 6 2 4)
set(_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
set(_weekdays Sun Mon Tue Wed Thu Fri Sat)
math(EXPR _index "${_month} - 1")
list(GET _offsets ${_index} _offset)
list(GET _months ${_index} _month_name)
set(_y ${_year})
if(_month LESS 3)
  math(EXPR _y "${_y} - 1")
endif()
math(EXPR _weekday "(${_y} + ${_y} / 4 - ${_y} / 100 + ${_y} / 400 + ${_offset} + ${_day}) % 7")
list(GET _weekdays ${_weekday} _weekday_name)
set(VORMANT_RELEASE_DATE_RFC2822 "${_weekday_name}, ${_day_text} ${_month_name} ${_year} 00:00:00 +0000")

set(_out ${PROJECT_BINARY_DIR}/packaging)
configure_file(assets/vormant.metainfo.xml ${_out}/${VORMANT_APPSTREAM_ID}.metainfo.xml @ONLY)
configure_file(cmake/debian/copyright ${_out}/copyright @ONLY)
# Debian wants the changelog and the manual page compressed to the maximum
# and without a timestamp in the gzip header.
foreach(_file cmake/debian/changelog assets/vormant.1)
  get_filename_component(_name ${_file} NAME)
  configure_file(${_file} ${_out}/${_name} @ONLY)
  execute_process(COMMAND gzip -9nc ${_out}/${_name}
                  OUTPUT_FILE ${_out}/${_name}.gz
                  RESULT_VARIABLE _gzip_result)
  if(NOT _gzip_result EQUAL 0)
    message(FATAL_ERROR "gzip -9nc ${_out}/${_name} failed: ${_gzip_result}")
  endif()
endforeach()

install(FILES ${_out}/${VORMANT_APPSTREAM_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${_out}/vormant.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_out}/copyright ${_out}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vormant)

# The Debian package: vormant_<version>_<arch>.deb in the build directory.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vormant)
set(CPACK_PACKAGE_VENDOR "The Vormant developers")
set(CPACK_PACKAGE_CONTACT "The Vormant developers <${VORMANT_CONTACT_EMAIL}>")
set(CPACK_PACKAGE_HOMEPAGE_URL ${VORMANT_HOMEPAGE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "SMTP server test that shows the whole dialogue")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Vormant tests an SMTP server by sending it one test message. Type a"
  "message, a recipient, the server and, if the server wants them, a user"
  "name and a password, then press Test: Vormant conducts the whole SMTP"
  "dialogue itself and shows it in a coloured log, every server reply in"
  "yellow and every command it sends in white, and ends by saying whether"
  "the server accepted the message. The log can be printed, to a printer or"
  "to a PDF file.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The libraries the program links, found by dpkg-shlibdeps. They also bring
# what the linker cannot see: on Debian 12 the xcb platform plugin ships in
# libqt6gui6, the TLS backends in libqt6network6 (which depends on libssl3),
# the CUPS print plugin in libqt6printsupport6, and a font comes with
# fontconfig. (qt6-qpa-plugins holds only the VNC platform and TUIO input,
# which Vormant does not use.) Checking servers' certificates needs the
# system's certificate authorities.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS ca-certificates)

include(CPack)
