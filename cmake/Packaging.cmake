# What an office installs: the programs (their own install rules), the menu entry, the icon in
# every size, an example settings file; and the Debian package CPack makes of it
# (tools/package.sh, or `cpack -G DEB` in the build folder).
set(fd_packaging ${PROJECT_SOURCE_DIR}/packaging)

install(FILES ${fd_packaging}/fleetdesk.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${fd_packaging}/fleetdesk.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
  install(FILES ${fd_packaging}/icons/${size}x${size}/fleetdesk.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
# An example, not a file in /etc: a package's /etc file would stay behind after it is removed.
install(FILES ${fd_packaging}/fleetdesk.ini.example DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
  RENAME fleetdesk.ini)

# The backup's service and timer, installed but not enabled: the administrator turns the timer on.
install(FILES ${fd_packaging}/systemd/fleetdesk-backup.service ${fd_packaging}/systemd/fleetdesk-backup.timer
  DESTINATION lib/systemd/system)

# What Debian asks of every package: the copyright, the changelog and a manual page per program,
# the last two compressed as Debian's tools do (gzip -9n: no name or time stamp, so the same text
# makes the same file). Made when the project is configured; an edit configures again.
set(fd_doc_out ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${fd_doc_out})
function(fd_gzip source target)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  execute_process(COMMAND gzip -9n -c ${source} OUTPUT_FILE ${target} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip ${source}: ${rc}")
  endif()
endfunction()
fd_gzip(${fd_packaging}/changelog ${fd_doc_out}/changelog.gz)
install(FILES ${fd_packaging}/copyright ${fd_doc_out}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
foreach(program fleetdesk fleetdesk-remind fleetdesk-encipher fleetdesk-backup)
  fd_gzip(${fd_packaging}/man/${program}.1 ${fd_doc_out}/${program}.1.gz)
  install(FILES ${fd_doc_out}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME fleetdesk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${FD_PACKAGE_PREFIX})
set(CPACK_PACKAGE_CONTACT "fleetdesk maintainers <maintainers@fleetdesk.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "register of affiliated lorries / 挂靠车辆管理系统")
# The summary is the first line of the package's description; this is the text under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "The register of the lorries affiliated to a road-transport company
in one MySQL/MariaDB database: owners, drivers, vehicles, fees and the
expiry dates of their documents in a grid coloured by the months left,
document pictures (FTP up, HTTP back), printing, PDF, Excel and CSV
export, and SMS reminders through an SMS platform, by hand or daily
(fleetdesk-remind).
.
运输公司挂靠车辆的登记与管理：车主、驾驶员、车辆与挂车、费用，
以及行车证、营运证、保险、资格证、驾驶证和管理费的到期日期
（表格按剩余月数着色）；证件图片上传与查看；打印与导出 PDF、
Excel、CSV；通过短信平台手动或每天自动（fleetdesk-remind）
发送到期提醒。")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link, from Debian's packages; beside them what they load at run time:
# Qt's Chinese dialogs and a CJK font for the Chinese interface.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, fonts-wqy-microhei | fonts-noto-cjk")
# fleetdesk-backup runs mariadb-dump, mariadb, tar and zstd. QtKeychain (found by shlibdeps) reaches
# the desktop's keyring through libsecret, which it loads only when it is there: without it the
# remembered passwords stay in the user's Network.ini.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "mariadb-client | default-mysql-client, zstd, libsecret-1-0")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
