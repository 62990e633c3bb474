// Named ids of the catalogue messages that code shows or maps to (the texts live in the string
// table). Ids without text are shown as their identifier alone and are named after their id.
#pragma once

#include <cstdint>

namespace msg {

// Start-up and the maintenance PC.
inline constexpr std::uint32_t kBadStartupParameter = 3501;
inline constexpr std::uint32_t kNoMemory = 3503;
inline constexpr std::uint32_t kFileIoError = 3506;
inline constexpr std::uint32_t kInvalidFile = 3507;
inline constexpr std::uint32_t kInternalError = 3508;
inline constexpr std::uint32_t kPcInternalError = 3520;
inline constexpr std::uint32_t kNotStartedByArrayProgram = 4002;
inline constexpr std::uint32_t kInitializeFailed = 4003;
inline constexpr std::uint32_t kSystemUnsupported = 4005;
inline constexpr std::uint32_t kOtherDeviceRunning = 4006;
inline constexpr std::uint32_t kServiceNotStarted = 3554;  // its argument names the program

// The array and its boards at start-up, and the close.
inline constexpr std::uint32_t kNoBoardFitted = 3509;
inline constexpr std::uint32_t kToolWillFinish = 3530;
inline constexpr std::uint32_t kUnsupportedDevice = 4004;
inline constexpr std::uint32_t kAgentNewerThanTool = 3801;
inline constexpr std::uint32_t kAgentNewerStopTool = 3802;

// The board agent's connection.
inline constexpr std::uint32_t kCommunication = 3514;
inline constexpr std::uint32_t kTimeout = 3515;

// The disk subsystem, as the VELAPI library reports it.
inline constexpr std::uint32_t kFinishedNormally = 3518;
inline constexpr std::uint32_t kArrayInvalidParameter = 3519;
inline constexpr std::uint32_t kArrayInvalidValue = 3522;
inline constexpr std::uint32_t kArrayUnsupported = 3523;
inline constexpr std::uint32_t kArrayTimeout = 3524;
inline constexpr std::uint32_t kNoBoardInLocation = 3525;
inline constexpr std::uint32_t kArraySetFailed = 3526;
inline constexpr std::uint32_t kArrayError = 3527;
inline constexpr std::uint32_t kBoardStateRefused = 3529;
inline constexpr std::uint32_t kArrayMaintenanceRunning = 3564;
inline constexpr std::uint32_t kBoardBlocked = 3565;
inline constexpr std::uint32_t kArrayOperationUnsupported = 4016;
inline constexpr std::uint32_t kArrayRefused = 4035;
inline constexpr std::uint32_t kArrayBusy = 4039;

// Agent errors of the board's NAS OS.
inline constexpr std::uint32_t kNasOsError = 3516;
inline constexpr std::uint32_t kNasManagerError = 3556;
inline constexpr std::uint32_t kNasOsWrongState = 3557;
inline constexpr std::uint32_t kNasOsBusy = 3558;
inline constexpr std::uint32_t kClusterRunning = 3559;
inline constexpr std::uint32_t kNoText3560 = 3560;
inline constexpr std::uint32_t kNoText3561 = 3561;
inline constexpr std::uint32_t kNoText3562 = 3562;
inline constexpr std::uint32_t kNoText3613 = 3613;
inline constexpr std::uint32_t kNoText3783 = 3783;
inline constexpr std::uint32_t kBoardSettingFailed = 3813;

// Board settings.
inline constexpr std::uint32_t kInvalidEntry = 3588;
inline constexpr std::uint32_t kEntryNotApplied = 3592;
inline constexpr std::uint32_t kRouteRegistered = 3819;
inline constexpr std::uint32_t kNetworkSettingRefused = 3822;
inline constexpr std::uint32_t kAddressConflict = 3823;
inline constexpr std::uint32_t kRouteTableFull = 3833;
inline constexpr std::uint32_t kSetupFinished = 3537;
inline constexpr std::uint32_t kNoText3584 = 3584;  // the network setting's question
inline constexpr std::uint32_t kNoText3816 = 3816;  // changing a node of a defined cluster
inline constexpr std::uint32_t kRouteDeleteFailed = 3814;      // target, netmask, gateway; OK goes on
inline constexpr std::uint32_t kLastRouteDeleteFailed = 3815;  // target, netmask, gateway
inline constexpr std::uint32_t kRouteDeleteQuestion = 3817;
inline constexpr std::uint32_t kRouteDeleteServicesQuestion = 3818;

// Installation.
inline constexpr std::uint32_t kInstallFailed = 3531;
inline constexpr std::uint32_t kInstallFileUnreadable = 3533;
inline constexpr std::uint32_t kBoardSpaceShort = 3534;
inline constexpr std::uint32_t kInvalidProductFile = 3535;
inline constexpr std::uint32_t kInstallOnBoardFailed = 3536;
inline constexpr std::uint32_t kInstallConditions = 3597;
inline constexpr std::uint32_t kBoardInCluster = 3653;  // its argument names the board
inline constexpr std::uint32_t kPrerequisiteMissing = 4008;
inline constexpr std::uint32_t kNasOsSpaceShort = 4013;
inline constexpr std::uint32_t kOnBatteryPower = 4001;
inline constexpr std::uint32_t kBadProductVersion = 3804;
inline constexpr std::uint32_t kSomeProductsSelected = 4015;
inline constexpr std::uint32_t kNncIncompatible = 4032;
inline constexpr std::uint32_t kFirstInstall = 3583;
inline constexpr std::uint32_t kNewInstallQuestion = 3499;
inline constexpr std::uint32_t kUpdateInstallQuestion = 3498;
inline constexpr std::uint32_t kUninstallQuestion = 3497;  // its argument names the product
inline constexpr std::uint32_t kClusterNasOsRunning = 3612;
inline constexpr std::uint32_t kInstallPreOperations = 4009;  // its argument lists the operations
inline constexpr std::uint32_t kPatchWrongNasOs = 4007;
inline constexpr std::uint32_t kInstallNasOsStopped = 4011;
inline constexpr std::uint32_t kNothingToInstall = 4012;
inline constexpr std::uint32_t kCancelRemainingQuestion = 3593;
inline constexpr std::uint32_t kPatchNeedsRestart = 4010;
// The LU initialisation offered with an installation.
inline constexpr std::uint32_t kInitCmLuQuestion = 3493;
inline constexpr std::uint32_t kInitErrorLuQuestion = 3494;
inline constexpr std::uint32_t kInitBothLusQuestion = 3495;
inline constexpr std::uint32_t kOtherTaskInitErrorLu = 3490;
inline constexpr std::uint32_t kOtherTaskInitCmLu = 3491;
inline constexpr std::uint32_t kLuInitWhileInstalling = 4019;

// Inherit installation.
inline constexpr std::uint32_t kInheritInstallQuestion = 4036;
inline constexpr std::uint32_t kInheritUnsupportedNnc = 4038;
inline constexpr std::uint32_t kNncConfigUnavailable = 4017;
inline constexpr std::uint32_t kInheritNasOsRunning = 4031;
inline constexpr std::uint32_t kCheckLuPaths = 4023;
inline constexpr std::uint32_t kInheritInitializesCmLu = 4034;
inline constexpr std::uint32_t kInheritFinished = 4033;

// Board power operations: questions and failures.
inline constexpr std::uint32_t kBootFailed = 3540;
inline constexpr std::uint32_t kRebootFailed = 3541;
inline constexpr std::uint32_t kShutdownFailed = 3542;
inline constexpr std::uint32_t kBootQuestion = 3566;
inline constexpr std::uint32_t kShutdownQuestion = 3567;
inline constexpr std::uint32_t kRebootQuestion = 3568;
inline constexpr std::uint32_t kNncResetQuestion = 3571;
inline constexpr std::uint32_t kForcedStopQuestion = 3598;
inline constexpr std::uint32_t kOldNasOsQuestion = 3599;
inline constexpr std::uint32_t kClusterStatusUnknown = 3609;
inline constexpr std::uint32_t kNodeInCluster = 3610;
inline constexpr std::uint32_t kSwitchServices = 3611;
inline constexpr std::uint32_t kFatalDamage = 3690;
inline constexpr std::uint32_t kServicesAffected = 3742;

// LU recovery.
inline constexpr std::uint32_t kNoRunningNasOs = 3617;  // its argument is the version needed
inline constexpr std::uint32_t kOsLuVersionOld = 3618;  // its argument names the board
inline constexpr std::uint32_t kNoOsLuBackup = 3633;    // its argument names the board
inline constexpr std::uint32_t kNoCmLuBackup = 3634;
inline constexpr std::uint32_t kRecoveryRunning = 3636;
inline constexpr std::uint32_t kNoBackupData = 3637;
inline constexpr std::uint32_t kRecoveryClusterRunning = 3650;
inline constexpr std::uint32_t kOsLuUnrecoverable = 3828;
inline constexpr std::uint32_t kSystemLuBackupInvalid = 4028;
inline constexpr std::uint32_t kSystemLuBackupMismatch = 4029;
inline constexpr std::uint32_t kRecoveryNotPossibleNow = 3635;
inline constexpr std::uint32_t kOsLuCheckFirst = 3827;
inline constexpr std::uint32_t kOsLuRecovered = 3620;
inline constexpr std::uint32_t kCmLuRebootFirst = 3829;
inline constexpr std::uint32_t kCmLuRecoverySteps = 3638;
inline constexpr std::uint32_t kCmLuNasOsOld = 3639;
inline constexpr std::uint32_t kCmLuRecoveryFailed = 3640;
inline constexpr std::uint32_t kCmLuRecovered = 3622;
inline constexpr std::uint32_t kCmLuRecoveredSettingsAgain = 4022;
inline constexpr std::uint32_t kSystemLuRecoverySteps = 4024;
inline constexpr std::uint32_t kSystemLuRecovered = 4025;
inline constexpr std::uint32_t kSystemLuRecoveryFailed = 4026;
inline constexpr std::uint32_t kSystemLuNodesNotInactive = 4027;
inline constexpr std::uint32_t kActiveNodeExists = 4030;
inline constexpr std::uint32_t kRebootAllQuestion = 3830;
inline constexpr std::uint32_t kRebootAllDone = 3831;
inline constexpr std::uint32_t kRebootAllFailed = 3832;  // the failed boards, the ones not restarted
inline constexpr std::uint32_t kNoNodeToRestart = 4037;

// NAS dump and its download.
inline constexpr std::uint32_t kDumpTimeQuestion = 3569;  // its argument is the minutes
inline constexpr std::uint32_t kDumpStopQuestion = 3570;
inline constexpr std::uint32_t kDumpNotReady = 3643;      // board name, minutes
inline constexpr std::uint32_t kDumpSpaceShort = 3645;    // its argument names the drive
inline constexpr std::uint32_t kDumpDownloadQuestion = 3646;
inline constexpr std::uint32_t kDumpDownloadCause = 3647;  // board name, status word
inline constexpr std::uint32_t kDumpDownloadTimeout = 3648;
inline constexpr std::uint32_t kDumpDownloaded = 3649;     // board name, file name
inline constexpr std::uint32_t kNotInThisState = 3691;
inline constexpr std::uint32_t kDumpTransferFailed = 4018;
inline constexpr std::uint32_t kDumpDeleteQuestion = 4020;

// Board power operations.
inline constexpr std::uint32_t kPowerProgressTimeout = 3596;  // the board's own time limit ran out
inline constexpr std::uint32_t kPowerTimeout = 3807;
inline constexpr std::uint32_t kPowerCanceledByDump = 3847;
inline constexpr std::uint32_t kPowerHardwareError = 3850;

}  // namespace msg
