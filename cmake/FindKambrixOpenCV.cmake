# OpenCV from Debian's per-module -dev packages (the all-in-one libopencv-dev,
# which carries OpenCVConfig.cmake, pulls in far more than we use).
find_path(KAMBRIX_OPENCV_INCLUDE opencv2/core.hpp PATH_SUFFIXES opencv4 REQUIRED)
foreach(module core imgproc objdetect imgcodecs)
    find_library(KAMBRIX_OPENCV_${module} opencv_${module})
    if(KAMBRIX_OPENCV_${module} AND NOT TARGET opencv_${module})
        add_library(opencv_${module} UNKNOWN IMPORTED)
        set_target_properties(opencv_${module} PROPERTIES IMPORTED_LOCATION ${KAMBRIX_OPENCV_${module}}
                              INTERFACE_INCLUDE_DIRECTORIES ${KAMBRIX_OPENCV_INCLUDE})
    endif()
endforeach()
foreach(module core imgproc objdetect)
    if(NOT TARGET opencv_${module})
        message(FATAL_ERROR "OpenCV module ${module} not found: install libopencv-${module}-dev (scripts/setup)")
    endif()
endforeach()
