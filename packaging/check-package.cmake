# Builds the Debian package of a build tree and checks it as a user's machine would see it:
#   cmake -DBUILD=<build dir> -DSCHEMA=<db1.sql> -DMKDB=<tovaki-mkdb> -DSCRATCH=<dir>
#         -P check-package.cmake
# Prints "SKIPPED" and stops when a tool it needs is missing.
foreach(tool dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli)
    find_program(found_${tool} ${tool})
    if(NOT found_${tool})
        message("SKIPPED: ${tool} is not installed")
        return()
    endif()
endforeach()
get_filename_component(cmake_dir ${CMAKE_COMMAND} DIRECTORY)
set(CPACK ${cmake_dir}/cpack)

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${ARGN} failed (${rc}):\n${out}\n${err}")
    endif()
    set(out "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH})
run(${CPACK} -G DEB -B ${SCRATCH}/pkg --config ${BUILD}/CPackConfig.cmake)
file(GLOB deb ${SCRATCH}/pkg/tovaki_*.deb)
list(LENGTH deb count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one package, found: ${deb}")
endif()

# The files a user needs, and no data file.
run(dpkg-deb -c ${deb})
set(listing "${out}")
foreach(f usr/bin/tovaki usr/bin/tovaki-report usr/share/applications/tovaki.desktop
          usr/share/icons/hicolor/16x16/apps/tovaki.png
          usr/share/icons/hicolor/48x48/apps/tovaki.png
          usr/share/icons/hicolor/256x256/apps/tovaki.png
          usr/share/metainfo/jp.quillo_soft.tovaki.metainfo.xml
          usr/share/man/man1/tovaki-report.1 usr/share/tovaki/index.html
          usr/share/tovaki/sys/msg usr/share/tovaki/sys/db1.empty usr/share/tovaki/sys/icon.ico
          usr/share/tovaki/sys/excel_format/)
    string(FIND "${listing}" " ./${f}\n" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the package lacks ${f}:\n${listing}")
    endif()
endforeach()
if(listing MATCHES "/db1\n" OR NOT listing MATCHES "excel_format/[^\n]+\\.xlsx\n")
    message(FATAL_ERROR "a data file shipped, or no templates:\n${listing}")
endif()
run(dpkg-deb -f ${deb} Depends)
foreach(d libqt6widgets6 libsqlite3-0 fonts-noto-cjk qt6-translations-l10n)
    if(NOT out MATCHES "${d}")
        message(FATAL_ERROR "Depends lacks ${d}: ${out}")
    endif()
endforeach()

# Unpacked as the package manager would; the installed desktop files validate.
set(root ${SCRATCH}/root)
run(dpkg -x ${deb} ${root})
run(desktop-file-validate ${root}/usr/share/applications/tovaki.desktop)
run(appstreamcli validate --no-net
    ${root}/usr/share/metainfo/jp.quillo_soft.tovaki.metainfo.xml)

# The unpacked tovaki-report finds its program files in ../share/tovaki and writes a report of
# a generated data file.
file(READ ${SCHEMA} schema)
file(WRITE ${SCRATCH}/data.sql "${schema}
INSERT INTO T_MASTER (lngMasterID, lngSupplier, blnValid, strSupplierName, strSupplierShortName)
VALUES (1, 1, 1, '山田商店', '山田');\n")
run(${MKDB} ${SCRATCH}/data.db ${SCRATCH}/data.sql)
file(MAKE_DIRECTORY ${SCRATCH}/out ${SCRATCH}/home)
run(${CMAKE_COMMAND} -E env HOME=${SCRATCH}/home --unset=XDG_DATA_HOME --unset=TOVAKI_DB
    temp=${SCRATCH} tmp=${SCRATCH}
    ${root}/usr/bin/tovaki-report suppliers --db ${SCRATCH}/data.db --out ${SCRATCH}/out)
file(GLOB written ${SCRATCH}/out/*.xlsx)
if(NOT written OR NOT out MATCHES "\\.xlsx")
    message(FATAL_ERROR "no report written: ${out}")
endif()
file(REMOVE_RECURSE ${SCRATCH})
