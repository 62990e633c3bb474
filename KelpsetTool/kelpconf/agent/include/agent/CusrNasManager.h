// The client of one NAS board's agent. One object per board; it keeps no connection state, so one
// object serves any number of consecutive exchanges, on any threads at once.
//
// One exchange: InitializeSocket (or InitializeSocketEx), one Request operation, the matching
// Reply operation, CloseSocket. Every operation returns 0, 4 (out of memory), 5 (socket or
// protocol failure), 9 (a receive wait ran out), or what its reply gives (an agent code, 6 for an
// information reply carrying an agent error). Failures are traced at TRC_ERROR and, except in the
// "Ex" operations, shown as catalogue messages through the process's MessageDisplay; a socket or
// protocol failure also notes its cause for an agent::FailureCause on the caller's stack.
//
// Everything received is hostile until checked: a MsgSize above kMaxMsgSize, or a length inside a
// body that reaches past the bytes received, is a protocol error (5); decoded texts are
// std::strings, so nothing is written past a caller's buffer; a protocol error hands no value
// out. Texts and records from replies reach the trace cut short (ReplyTrace.h). Receive
// time-outs are logical seconds (plat::Clock, KELP_TIME_SCALE) and apply to each wait, not to
// the whole message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "agent/AgentCodes.h"
#include "agent/AgentTypes.h"
#include "agent/AgentWire.h"
#include "agent/FrameCodec.h"

class CusrNasManager {
 public:
  static constexpr int INVALID_SOCKET = -1;

  // Address and mask a.b.c.d with byte 0 = a; only the low 16 bits of the port are used; index
  // is the board slot 0..15. Traces address, mask and port at TRC_INFO.
  CusrNasManager(const std::uint8_t* pucIPAddress, const std::uint8_t* pucSubnetMask, std::uint32_t ulPort,
                 std::uint32_t ulIndex);

  // The board's display name for message 3653, by slot. Installed once by the program; without
  // one the name is "CHN-<slot>".
  static void SetBoardNameProvider(std::function<std::string(std::uint32_t ulIndex)> provider);

  // Connection and frame.
  std::uint32_t InitializeSocket(int* pSocket) const;
  std::uint32_t InitializeSocketEx(int* pSocket) const;
  std::uint32_t CloseSocket(int nSocket) const;
  std::uint32_t SendMessage(int nSocket, const std::uint8_t* pBuffer, std::size_t nLength) const;
  std::uint32_t SendMessageEx(int nSocket, const std::uint8_t* pBuffer, std::size_t nLength) const;
  std::uint32_t RecvMessage(int nSocket, std::uint8_t* pBuffer, std::size_t nLength, std::uint32_t ulTimeoutSec) const;
  std::uint32_t RecvMessageEx(int nSocket, std::uint8_t* pBuffer, std::size_t nLength,
                              std::uint32_t ulTimeoutSec) const;
  std::uint32_t SendHeader(int nSocket, std::uint32_t ulProtoVer, std::uint32_t ulMsgType, std::uint32_t ulMsgSize,
                           std::uint32_t ulCommand) const;
  std::uint32_t RecvHeader(int nSocket, std::uint32_t ulProtoVer, std::uint32_t ulMsgType,
                           std::uint32_t* pulMsgSize) const;
  std::uint32_t RecvHeaderEx(int nSocket, std::uint32_t ulProtoVer, std::uint32_t ulMsgType,
                             std::uint32_t* pulMsgSize) const;
  // Header check of the older exchanges (ProtoVer 0x00010000).
  std::uint32_t CheckProtocol(const std::string& strMagic, std::uint32_t ulProtoVer, std::uint32_t ulMsgType,
                              std::uint32_t ulExpectedMsgType) const;
  // The message id that reports an agent error code (also returned).
  static std::uint32_t GetMsgFormat(std::uint32_t ulCode, std::uint32_t* pulMessageId);
  // Shows the message GetMsgFormat gives for an agent code, with the code as its argument, and
  // traces it at TRC_ERROR.
  static void ShowAgentError(std::uint32_t ulCode);

  // Board settings and status.
  std::uint32_t RequestNetworkInfo(int nSocket, std::uint32_t ulInterface) const;
  std::uint32_t ReplyNetworkInfo(int nSocket, std::string* pstrIPAddress, std::string* pstrNetmask,
                                 std::string* pstrGateway) const;
  std::uint32_t RequestNetworkSetting0301(int nSocket, std::uint32_t ulInterface, const std::string& strIPAddress,
                                          const std::string& strNetmask) const;
  // ulWaitFlag 1: the first wait lasts kNetworkSettingLongWaitSec, else kReplyTimeoutSec.
  std::uint32_t ReplyNetworkSetting0301(int nSocket, std::uint32_t ulWaitFlag) const;
  std::uint32_t RequestNTPInfo(int nSocket) const;
  std::uint32_t ReplyNTPInfo(int nSocket, std::vector<std::string>* pServers) const;
  std::uint32_t RequestNTPSetting(int nSocket, const std::vector<std::string>& servers) const;
  std::uint32_t ReplyNTPSetting(int nSocket) const;
  std::uint32_t RequestCHNName(int nSocket) const;
  std::uint32_t ReplyCHNName(int nSocket, std::string* pstrName) const;
  std::uint32_t RequestCHNNameSetting(int nSocket, const std::string& strName) const;
  std::uint32_t ReplyCHNNameSetting(int nSocket) const;
  std::uint32_t RequestMTUInfo(int nSocket, std::uint32_t ulInterface) const;
  std::uint32_t ReplyMTUInfo(int nSocket, std::uint32_t* pulMTU) const;
  std::uint32_t RequestMTUSetting(int nSocket, std::uint32_t ulInterface, std::uint32_t ulMTU) const;
  std::uint32_t ReplyMTUSetting(int nSocket) const;
  std::uint32_t RequestRoutingInfo(int nSocket) const;
  // Appends the routes in wire order.
  std::uint32_t ReplyRoutingInfo(int nSocket, std::vector<agent::RouteTexts>* pRoutes) const;
  std::uint32_t RequestRoutingAdd(int nSocket, const agent::NewRoute& route) const;
  std::uint32_t ReplyRoutingAdd(int nSocket) const;
  // The route as listed by ReplyRoutingInfo; 1 without sending when a text is too long or a flag
  // word unknown.
  std::uint32_t RequestRoutingDelete(int nSocket, const agent::RouteTexts& route) const;
  std::uint32_t ReplyRoutingDelete(int nSocket) const;
  std::uint32_t RequestCommandIF(int nSocket, const std::string& strCommandLine) const;
  std::uint32_t ReplyCommandIF(int nSocket, std::string* pstrOutput) const;
  std::uint32_t RequestClusterStatus(int nSocket) const;
  std::uint32_t ReplyClusterStatus(int nSocket, std::uint32_t* pulStatus) const;
  std::uint32_t RequestClusterDefinedStatus(int nSocket) const;
  std::uint32_t ReplyClusterDefinedStatus(int nSocket, std::uint32_t* pulStatus) const;
  std::uint32_t RequestVersion(int nSocket) const;
  std::uint32_t ReplyVersion(int nSocket, std::uint32_t* pulVersion) const;
  // The tool's own version word (5,0,1,0 gives 0x05000100).
  static std::uint32_t ToolVersionWord();
  static bool IsNewerAgent(std::uint32_t ulAgentVersion) { return ulAgentVersion >= agent::kNewerAgentVersion; }

  // Installation.
  std::uint32_t RequestInstall(int nSocket, std::uint32_t ulSerialNo, const std::string& strFileName,
                               const std::string& strPcAddress, std::uint32_t ulFilePort) const;
  // The agent's verdict goes to *pulResult (0, or its code ORed with kInstallErrorBit); the
  // function returns 0 then. bNasOsWording selects message 3516 for codes outside the table.
  std::uint32_t ReplyInstall(int nSocket, std::uint32_t ulTimeoutSec, std::uint32_t* pulResult,
                             bool bNasOsWording = false) const;
  std::uint32_t RequestUninstInfo(int nSocket) const;
  // Appends the products in wire order.
  std::uint32_t ReplyUninstInfo(int nSocket, std::vector<agent::ProductTexts>* pProducts) const;
  std::uint32_t RequestUninstall(int nSocket, std::uint32_t ulPPCode, const std::string& strName) const;
  std::uint32_t ReplyUninstall(int nSocket) const;
  std::uint32_t RequestSutInstallCheck(int nSocket, const std::string& strFileName, const std::string& strPcAddress,
                                       std::uint32_t ulFilePort) const;
  // *pulFlags is only ORed into (kNeed* bits); *pulReboot set to 1 when a restart is needed.
  std::uint32_t ReplySutInstallCheck(int nSocket, std::uint32_t* pulFlags, std::uint32_t* pulReboot,
                                     std::uint32_t* pulResult) const;

  // LU backup, restore and cluster. The Stat replies store the agent's word in *pulStatus
  // (kStatRunning while the operation runs) before judging it.
  std::uint32_t RequestNasOsLuBackupInfo(int nSocket) const;
  std::uint32_t ReplyNasOsLuBackupInfo(int nSocket, agent::LuBackupInfo* pInfo) const;
  std::uint32_t RequestNasOsLuResotre(int nSocket) const;
  std::uint32_t ReplyNasOsLuRestore(int nSocket) const;
  std::uint32_t RequestNasSharedLuBackupInfo(int nSocket) const;
  std::uint32_t ReplyNasSharedLuBackupInfo(int nSocket, agent::LuBackupInfo* pInfo) const;
  std::uint32_t RequestNasSharedLuResotre(int nSocket) const;
  std::uint32_t ReplyNasSharedLuRestore(int nSocket) const;
  std::uint32_t RequestInitializeCluster(int nSocket) const;
  std::uint32_t ReplyInitializeCluster(int nSocket) const;
  std::uint32_t RequestNasOsLuRestoreStat(int nSocket) const;
  std::uint32_t ReplyNasOsLuRestoreStat(int nSocket, std::uint32_t* pulStatus) const;
  std::uint32_t RequestNasSharedLuRestoreStat(int nSocket) const;
  std::uint32_t ReplyNasSharedLuRestoreStat(int nSocket, std::uint32_t* pulStatus) const;
  std::uint32_t RequestStopCluster(int nSocket, std::uint32_t ulWord = agent::kStopClusterWord) const;
  std::uint32_t ReplyStopCluster(int nSocket) const;
  std::uint32_t RequestStopClusterStat(int nSocket) const;
  std::uint32_t ReplyStopClusterStat(int nSocket, std::uint32_t* pulStatus) const;
  std::uint32_t RequestInitializeClusterStat(int nSocket) const;
  std::uint32_t ReplyInitializeClusterStat(int nSocket, std::uint32_t* pulStatus) const;
  std::uint32_t RequestNasSystemLuBackupInfo(int nSocket) const;
  std::uint32_t ReplyNasSystemLuBackupInfo(int nSocket, agent::SystemLuBackupInfo* pInfo) const;
  // The name is padded with blanks (or cut) to 40 bytes.
  std::uint32_t RequestNasSystemLuExtract(int nSocket, const std::string& strFileName) const;
  std::uint32_t ReplyNasSystemLuExtract(int nSocket) const;
  std::uint32_t RequestNasSystemLuExtractStat(int nSocket) const;
  std::uint32_t ReplyNasSystemLuExtractStat(int nSocket, std::uint32_t* pulStatus) const;
  std::uint32_t RequestNasSystemLuResotre(int nSocket) const;
  std::uint32_t ReplyNasSystemLuRestore(int nSocket) const;
  std::uint32_t RequestNasSystemLuRestoreStat(int nSocket) const;
  std::uint32_t ReplyNasSystemLuRestoreStat(int nSocket, std::uint32_t* pulStatus) const;
  // Show the message for an agent code of a restore or system-LU reply; both return 1.
  static std::uint32_t ShowRestoreMessage(std::uint32_t ulCode);
  static std::uint32_t ShowSystemLuMessage(std::uint32_t ulCode);

  const std::uint8_t* IPAddress() const { return m_ucIPAddress; }
  std::uint16_t Port() const { return static_cast<std::uint16_t>(m_ulPort & 0xFFFF); }
  std::uint32_t Index() const { return m_ulIndex; }

 private:
  // Shared steps of the Reply operations. ReceiveBody: allocates and receives MsgSize bytes
  // (kReplyTimeoutSec); a MsgSize above kMaxMsgSize is 5 before any allocation.
  std::uint32_t ReceiveBody(int nSocket, std::uint32_t ulMsgSize, std::vector<std::uint8_t>* pBody, bool bQuiet) const;
  // The reply header of id: for the older exchanges (ProtoVer 0x00010000) read with ulTimeoutSec
  // and checked with CheckProtocol; for the others RecvHeader or, quiet, RecvHeaderEx.
  std::uint32_t RecvReplyHeader(int nSocket, agent::Exchange id, std::uint32_t ulTimeoutSec, bool bQuiet,
                                std::uint32_t* pulMsgSize) const;
  // Body of a reply whose header was checked: ReceiveBody, then DataType and Result (traced);
  // a body too short for them or a DataType other than the exchange's is 5. The body keeps
  // DataType and Result at its start.
  std::uint32_t ReceiveReply(int nSocket, agent::Exchange id, std::uint32_t ulMsgSize, std::vector<std::uint8_t>* pBody,
                             agent::BodyPrefix* pPrefix, bool bQuiet) const;
  // RecvReplyHeader (kReplyTimeoutSec), then ReceiveReply.
  std::uint32_t ReceiveWholeReply(int nSocket, agent::Exchange id, bool bQuiet, std::vector<std::uint8_t>* pBody,
                                  agent::BodyPrefix* pPrefix) const;
  // The board's display name (SetBoardNameProvider).
  std::string BoardName() const;
  // Sends a request built by a codec; 4 when it is empty (could not be built).
  std::uint32_t SendRequest(int nSocket, const std::vector<std::uint8_t>& request, bool bQuiet) const;
  // Message 3514 with code text 0x00000005 (traced too), result 5.
  static std::uint32_t ProtocolError(const char* pszTrace);
  // Shows message id with one argument and traces its text at level.
  static void ShowAndTrace(std::uint32_t ulMessageId, const std::string& strArgument, std::uint32_t ulLevel);
  // The common reply of LU backup, restore and cluster (header, body, DataType, judgement).
  std::uint32_t ReplyRecovery(int nSocket, agent::Exchange id, std::uint32_t* pulStatus,
                              std::vector<std::uint8_t>* pData) const;
  // The OS or shared LU backup information of a ReplyRecovery.
  std::uint32_t ReplyLuBackupInfo(int nSocket, agent::Exchange id, agent::LuBackupInfo* pInfo) const;
  // ReceiveBody, then DataType and Result (traced), for a reply that judges its DataType itself;
  // a body too short for them is 5.
  std::uint32_t ReceiveBodyPrefix(int nSocket, std::uint32_t ulMsgSize, std::vector<std::uint8_t>* pBody,
                                  agent::BodyPrefix* pPrefix, bool bQuiet) const;
  // RecvReplyHeader, then ReceiveBodyPrefix: the installation replies, which trace a wrong
  // DataType each in its own words.
  std::uint32_t ReceiveHeaderAndPrefix(int nSocket, agent::Exchange id, std::uint32_t ulTimeoutSec,
                                       std::vector<std::uint8_t>* pBody, agent::BodyPrefix* pPrefix) const;
  // Message and trace for an agent code of ReplyInstall or ReplySutInstallCheck (value is the
  // code ORed with kInstallErrorBit).
  void ShowInstallError(std::uint32_t ulValue, bool bNasOsWording) const;

  std::uint8_t m_ucIPAddress[4];
  std::uint8_t m_ucSubnetMask[4];
  std::uint32_t m_ulPort;
  std::uint32_t m_ulIndex;
};
