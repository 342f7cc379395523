#include "camera/gphoto2/GPhotoErrors.h"

#include <gphoto2/gphoto2-port-result.h>
#include <gphoto2/gphoto2-result.h>

namespace klik {

CamError camErrorForGPhoto(int result) {
    switch (result) {
        case GP_OK:
            return CAM_ERR_OK;
        case GP_ERROR_CAMERA_BUSY:
            return CAM_ERR_DEVICE_BUSY;
        case GP_ERROR_IO_USB_CLAIM:
        case GP_ERROR_IO_LOCK:
            return CAM_ERR_COMM_PORT_IN_USE;
        case GP_ERROR_MODEL_NOT_FOUND:
        case GP_ERROR_IO_USB_FIND:
        case GP_ERROR_DIRECTORY_NOT_FOUND:
            return CAM_ERR_DEVICE_NOT_FOUND;
        case GP_ERROR_NOT_SUPPORTED:
            return CAM_ERR_NOT_SUPPORTED;
        case GP_ERROR_BAD_PARAMETERS:
            return CAM_ERR_INVALID_PARAMETER;
        case GP_ERROR_NO_MEMORY:
            return CAM_ERR_MEM_ALLOC_FAILED;
        case GP_ERROR_CANCEL:
            return CAM_ERR_OPERATION_CANCELLED;
        case GP_ERROR_TIMEOUT:
            return CAM_ERR_WAIT_TIMEOUT;
        default:
            return gphotoResultMeansGone(result) ? CAM_ERR_COMM_DISCONNECTED
                                                 : CAM_ERR_INTERNAL_ERROR;
    }
}

std::string gphotoErrorText(int result) {
    std::string text = gp_result_as_string(result);
    if (result == GP_ERROR_IO_USB_CLAIM)
        text +=
            " - another program holds the camera; on a desktop this is almost always the "
            "desktop's gvfs volume monitor (gvfs-gphoto2-volume-monitor): stop it (systemctl "
            "--user stop gvfs-gphoto2-volume-monitor, or remove the gvfs-backends package), then "
            "unplug the camera and plug it in again";
    return text;
}

bool gphotoResultMeansGone(int result) {
    switch (result) {
        case GP_ERROR_IO:
        case GP_ERROR_IO_INIT:
        case GP_ERROR_IO_READ:
        case GP_ERROR_IO_WRITE:
        case GP_ERROR_IO_UPDATE:
        case GP_ERROR_IO_USB_FIND:
        case GP_ERROR_MODEL_NOT_FOUND:
            return true;
        default:
            return false;
    }
}

}  // namespace klik
