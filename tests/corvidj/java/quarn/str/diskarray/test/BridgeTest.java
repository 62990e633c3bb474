package quarn.str.diskarray.test;

import static org.junit.Assert.*;

import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.atomic.AtomicReference;
import org.junit.BeforeClass;
import org.junit.Test;
import quarn.str.diskarray.*;

public class BridgeTest {
  static final String UNIT = "BRIDGE";
  static ZQSessionInfo session;

  @BeforeClass
  public static void setUp() throws Exception {
    SimUnit.create(UNIT);
    session = SimUnit.login(UNIT);
  }

  interface Body {
    void run() throws Exception;
  }

  static int codeOf(Body body) throws Exception {
    try {
      body.run();
    } catch (DiskArrayException e) {
      return e.getCode();
    }
    fail("no DiskArrayException");
    return 0;
  }

  static String repeat(char c, int n) {
    return String.valueOf(c).repeat(n);
  }

  @Test(timeout = 20000)
  public void missingArgumentsAre258BeforeTheLibrary() throws Exception {
    ZQSessionInfo empty = new ZQSessionInfo();
    assertEquals(0x102, codeOf(() -> DiskArrayUtilityJNI.ZQ_GetUnitParam(null)));
    assertEquals(0x102, codeOf(() -> DiskArrayUtilityJNI.ZQ_GetLANInformation(UNIT, null, 0)));
    assertEquals(0x102, codeOf(() -> DiskArrayUtilityJNI.ZQ_GetLANInformation(UNIT, empty, 0)));
    assertEquals(0x102, codeOf(() -> DiskArrayUtilityJNI.ZQ_SetLANInformation(UNIT, session, 0, null, 0)));
    assertEquals(0x102, codeOf(() -> DiskArrayUtilityJNI.ZQ_GetFileText(null)));
    // A fault armed for the call stays armed: the library was never reached.
    SimUnit.fault(UNIT, "GetLANInformation", 1, 0x1234);
    assertEquals(0x102, codeOf(() -> DiskArrayUtilityJNI.ZQ_GetLANInformation(null, session, 0)));
    assertEquals(0x1234, codeOf(() -> DiskArrayUtilityJNI.ZQ_GetLANInformation(UNIT, session, 0)));
  }

  @Test(timeout = 20000)
  public void libraryCodesPassUnchangedAnd256IsNoError() throws Exception {
    SimUnit.fault(UNIT, "GetLANInformation", 1, 256);
    assertNull(DiskArrayUtilityJNI.ZQ_GetLANInformation(UNIT, session, 0));
    SimUnit.fault(UNIT, "GetMicroDownloadCount", 1, 256);
    assertEquals(0, DiskArrayUtilityJNI.ZQ_GetMicroDownloadCount(UNIT, session));
    SimUnit.fault(UNIT, "GetNASSystemLU", 1, 0x83800000L);
    assertEquals(0x83800000, codeOf(() -> DiskArrayUtilityJNI.ZQ_GetNASSystemLU(UNIT, session)));
    assertEquals(0x01000010, codeOf(() -> DiskArrayUtilityJNI.ZQ_TestUnitReady("NOSUCHUNIT")));
    assertNotNull(DiskArrayUtilityJNI.ZQ_GetNASSystemLU(UNIT, session));
  }

  @Test(timeout = 20000)
  public void unitParamOf64ByteNameWithoutNul() throws Exception {
    String name = repeat('N', 64);
    SimUnit.create(name);
    ZQUnitParam p = DiskArrayUtilityJNI.ZQ_GetUnitParam(name + "EXTRA1");
    assertEquals(name, p.unit_name);
    assertEquals(0x1703, p.zq_type);
    assertEquals(4, p.unit_conf);
    assertArrayEquals(new int[] {127, 0, 0, 1}, p.svp_ip);
    SimUnit.run(false, "delete", name);
  }

  @Test(timeout = 20000)
  public void sessionFromLoginOpensAccountMethods() throws Exception {
    assertEquals(32, session.session_id.length);
    assertNotNull(DiskArrayUtilityJNI.ZQ_GetAccountOption(UNIT, session));
    ZQSessionInfo forged = new ZQSessionInfo();
    forged.session_id = new byte[32];
    assertEquals(0x01000015, codeOf(() -> DiskArrayUtilityJNI.ZQ_GetAccountOption(UNIT, forged)));
    // Longer and shorter session ids: their first 32 bytes, the rest zero.
    ZQSessionInfo longer = new ZQSessionInfo();
    longer.session_id = java.util.Arrays.copyOf(session.session_id, 40);
    assertNotNull(DiskArrayUtilityJNI.ZQ_GetAccountOption(UNIT, longer));
    ZQSessionInfo shorter = new ZQSessionInfo();
    shorter.session_id = java.util.Arrays.copyOf(session.session_id, 16);
    assertEquals(0x01000015, codeOf(() -> DiskArrayUtilityJNI.ZQ_GetAccountOption(UNIT, shorter)));
  }

  @Test(timeout = 20000)
  public void unitConditionShape() throws Exception {
    UnitCondition c = DiskArrayUtilityJNI.ZQ_GetUnitCondition(UNIT, session, 0);
    assertEquals("micro", c.micro);
    assertEquals(2, c.cache.length);
    assertEquals(4, c.nnc.length);
    assertEquals(4, c.nnc_parts.length);
    assertEquals(2, c.nnc_parts[3].ext_slot.length);
    assertEquals(2, c.connector.length);
    assertEquals(8, c.connector[1].length);
    assertEquals("ctl1_gateway", c.ctl1_gateway);
  }

  @Test(timeout = 60000)
  public void allInformationIsOneWholeObject() throws Exception {
    ArrayAllInformation all = DiskArrayUtilityJNI.ZQ_GetAllInformation(UNIT, session);
    assertEquals(4096, all.lu.length);
    assertEquals("label", all.lu[4095].label);
    assertEquals(450, all.drive_info.length);
    assertEquals(2, all.target_id.length);
    assertEquals(2, all.target_id[1].length);
    assertEquals(16, all.target_id[1][1].target_config[3].mapping.length);
    assertEquals(2, all.lan_info.length);
    assertEquals(1234, all.pool_info.pool[49].used_rate);
  }

  @Test(timeout = 20000)
  public void nasSystemLuFlagsAndArrayLengths() throws Exception {
    NASSystemLUAll set = DiskArrayUtilityJNI.ZQ_GetNASSystemLU(UNIT, session);
    set.systemlu_valid = new int[] {1, 0, 1, 0, 1, 1};  // longer: the first four
    set.systemlu = new NASSystemLU[] {new NASSystemLU(), null};  // shorter: the rest zero
    set.systemlu[0].systemDisk = 7;
    set.systemlu[0].volumeBackup2 = 0x1FFFF;  // narrowed to 16 bits
    DiskArrayUtilityJNI.ZQ_SetNASSystemLU(UNIT, session, set);
    NASSystemLUAll got = DiskArrayUtilityJNI.ZQ_GetNASSystemLU(UNIT, session);
    assertArrayEquals(new int[] {1, 0, 1, 0}, got.systemlu_valid);
    assertEquals(4, got.systemlu.length);
    assertEquals(7, got.systemlu[0].systemDisk);
    assertEquals(0xFFFF, got.systemlu[0].volumeBackup2);
    assertEquals(0, got.systemlu[1].systemDisk);
    assertEquals(0, got.systemlu[3].dumpVolume);
    assertEquals(set.systemlu_minsize.dumpWork, got.systemlu_minsize.dumpWork);
  }

  @Test(timeout = 20000)
  public void nasOsControlSendsTheFirst84BytesOfBootopt() throws Exception {
    NASOSControl control = new NASOSControl();
    control.control = 1;
    control.bootopt = repeat('b', 84) + repeat('c', 16);
    DiskArrayUtilityJNI.ZQ_NASOSControl(UNIT, session, 2, control);
    String shown = SimUnit.show(UNIT);
    assertTrue(shown, shown.contains("\"" + repeat('b', 84) + "\""));
    NASOSStatusList status = DiskArrayUtilityJNI.ZQ_GetNASOSStatusList(UNIT, session);
    assertArrayEquals(new int[] {1, 1, 1, 1}, status.mount);
  }

  @Test(timeout = 20000)
  public void nncLanInformationRoundTrip() throws Exception {
    NNCLANInformation info = DiskArrayUtilityJNI.ZQ_GetNNCLANInformation(UNIT, session);
    info.nnclaninfo_valid = new int[] {1, 0, 0x101, 0};  // one byte each
    info.set_valid = 1;
    info.set_info[2].ip_address = "192.168.10.12";
    info.set_info[2].mtu = 9000;
    info.set_info[2].negotiation = 3;
    DiskArrayUtilityJNI.ZQ_SetNNCLANInformation(UNIT, session, info);
    NNCLANInformation got = DiskArrayUtilityJNI.ZQ_GetNNCLANInformation(UNIT, session);
    assertArrayEquals(new int[] {1, 0, 1, 0}, got.nnclaninfo_valid);
    assertEquals("192.168.10.12", got.set_info[2].ip_address);
    assertEquals(9000, got.set_info[2].mtu);
    assertEquals(3, got.set_info[2].negotiation);
    assertEquals(info.current_info[0].subnet, got.current_info[0].subnet);
  }

  @Test(timeout = 20000)
  public void hundredthsSurviveTheRoundTrip() throws Exception {
    PoolInfo pool = DiskArrayUtilityJNI.ZQ_GetPoolInformation(UNIT, session);
    assertEquals(1234, pool.pool[0].used_rate);  // the library's 12.345
    short[] values = {1234, 29, -29, 0, 1, -1, Short.MAX_VALUE, Short.MIN_VALUE, 708};
    for (int i = 0; i < values.length; ++i) pool.pool[i].used_rate = values[i];
    DiskArrayUtilityJNI.ZQ_ChangePoolInformation(UNIT, session, pool);
    PoolInfo got = DiskArrayUtilityJNI.ZQ_GetPoolInformation(UNIT, session);
    for (int i = 0; i < values.length; ++i) assertEquals(values[i], got.pool[i].used_rate);
  }

  @Test(timeout = 20000)
  public void targetIdAndLoginUser() throws Exception {
    TargetId[] ids = DiskArrayUtilityJNI.ZQ_GetTargetId(UNIT, 0);
    assertEquals(2, ids.length);
    assertEquals(16, ids[1].target_config[0].multi.length);
    assertNull(DiskArrayUtilityJNI.ZQ_GetLoginUser(UNIT, 0));
    ZQUserRegist user = new ZQUserRegist();
    user.user_id = "maint";
    assertArrayEquals(new String[] {"maint", "admin"}, DiskArrayUtilityJNI.ZQ_LoginZQUnit(UNIT, 0, user));
    assertArrayEquals(new String[] {"maint", "admin"}, DiskArrayUtilityJNI.ZQ_GetLoginUser(UNIT, 0));
    DiskArrayUtilityJNI.ZQ_LogoutZQUnit(UNIT, 0);
    assertNull(DiskArrayUtilityJNI.ZQ_GetLoginUser(UNIT, 0));
  }

  @Test(timeout = 20000)
  public void textsKeepWholeCharacters() throws Exception {
    UnitIdentifier id = new UnitIdentifier();
    id.identifier = "Grüße ☃ 𝄞";
    DiskArrayUtilityJNI.ZQ_SetUnitIdentifier(UNIT, session, id);
    assertEquals("Grüße ☃ 𝄞", DiskArrayUtilityJNI.ZQ_GetUnitIdentifier(UNIT, session).identifier);
    // 32 bytes fit: 31 ASCII and a two-byte letter do not, the letter goes whole.
    id.identifier = repeat('a', 31) + "é";
    DiskArrayUtilityJNI.ZQ_SetUnitIdentifier(UNIT, session, id);
    assertEquals(repeat('a', 31), DiskArrayUtilityJNI.ZQ_GetUnitIdentifier(UNIT, session).identifier);
    id.identifier = repeat('a', 30) + "𝄞";
    DiskArrayUtilityJNI.ZQ_SetUnitIdentifier(UNIT, session, id);
    assertEquals(repeat('a', 30), DiskArrayUtilityJNI.ZQ_GetUnitIdentifier(UNIT, session).identifier);
  }

  @Test(timeout = 20000)
  public void libraryBytesAreDecodedNotTrusted() throws Exception {
    Path file = Files.createTempFile("corvidj", ".txt");
    file.toFile().deleteOnExit();
    byte[] bytes = {'o', 'k', ' ', (byte) 0xC3, (byte) 0xA9, ' ', (byte) 0xFF, ' ', (byte) 0xE2, (byte) 0x82};
    Files.write(file, bytes);
    assertEquals("ok é \uFFFD \uFFFD\uFFFD", DiskArrayUtilityJNI.ZQ_GetFileText(file.toString()));
    Files.writeString(file, "one\ntwo\n", StandardCharsets.UTF_8);
    assertEquals("two", DiskArrayUtilityJNI.ZQ_GetFileLine(file.toString(), 1));
  }

  @Test(timeout = 20000)
  public void pathsOf1024BytesAreRefused() throws Exception {
    String dir = System.getProperty("java.io.tmpdir") + "/";
    String path1023 = dir + repeat('p', 1023 - dir.length());
    assertEquals("", DiskArrayUtilityJNI.ZQ_GetFileText(path1023));
    assertEquals(0x102, codeOf(() -> DiskArrayUtilityJNI.ZQ_GetFileText(path1023 + "q")));
    assertEquals(0x102, codeOf(() -> DiskArrayUtilityJNI.ZQ_GetFileText(dir + repeat('é', 600))));
  }

  @Test(timeout = 60000)
  public void manyThreadsAtOnce() throws Exception {
    AtomicReference<Throwable> failure = new AtomicReference<>();
    List<Thread> threads = new ArrayList<>();
    for (int t = 0; t < 8; ++t) {
      final int ctl = t % 2;
      Thread thread = new Thread(() -> {
        try {
          for (int i = 0; i < 25; ++i) {
            LANInformation lan = DiskArrayUtilityJNI.ZQ_GetLANInformation(UNIT, session, ctl);
            assertNotNull(lan.ip_address);
            DiskArrayUtilityJNI.ZQ_SetLANInformation(UNIT, session, ctl, lan, 0);
            assertEquals(2, DiskArrayUtilityJNI.ZQ_GetTargetId(UNIT, ctl).length);
          }
        } catch (Throwable e) {
          failure.compareAndSet(null, e);
        }
      });
      threads.add(thread);
      thread.start();
    }
    for (Thread thread : threads) thread.join(50000);
    if (failure.get() != null) throw new AssertionError(failure.get());
  }
}
