package quarn.str.diskarray;

import static org.junit.Assert.*;

import org.junit.BeforeClass;
import org.junit.Test;
import quarn.str.diskarray.test.SimUnit;

// Runs with the altered LANInformation, LogicalUnit and TargetId ahead of the real ones.
public class AlteredClassesTest {
  static final String UNIT = "ALTERED";
  static ZQSessionInfo session;

  @BeforeClass
  public static void setUp() throws Exception {
    SimUnit.create(UNIT);
    session = SimUnit.login(UNIT);
  }


  @Test(timeout = 20000)
  public void missingFieldEndsTheCallWith2817() throws Exception {
    try {
      DiskArrayUtilityJNI.ZQ_GetLANInformation(UNIT, session, 0);
      fail("an object without negotiation");
    } catch (DiskArrayException e) {
      assertEquals(0xB01, e.getCode());
    }
    try {
      DiskArrayUtilityJNI.ZQ_SetLANInformation(UNIT, session, 0, new LANInformation(), 0);
      fail("read an object without negotiation");
    } catch (DiskArrayException e) {
      assertEquals(0xB01, e.getCode());
    }
  }

  @Test(timeout = 20000)
  public void partialTargetIdArray() throws Exception {
    TargetId.made = 0;
    TargetId.failAt = 2;
    TargetId[] ids = DiskArrayUtilityJNI.ZQ_GetTargetId(UNIT, 0);
    TargetId.failAt = -1;
    assertEquals(2, ids.length);
    assertNotNull(ids[0]);
    assertNull(ids[1]);
  }

  @Test(timeout = 60000)
  public void the300thLogicalUnitFailsTheWholeSnapshot() throws Exception {
    LogicalUnit.made = 0;
    LogicalUnit.failAt = 300;
    try {
      DiskArrayUtilityJNI.ZQ_GetAllInformation(UNIT, session);
      fail("a snapshot without its 300th LU");
    } catch (DiskArrayException e) {
      assertEquals(0xB01, e.getCode());
    } finally {
      LogicalUnit.failAt = -1;
    }
    LogicalUnit.made = 0;
    LogicalUnit.failAt = 300;
    LogicalUnit[] lus = DiskArrayUtilityJNI.ZQ_GetLogicalUnit(UNIT, session);
    LogicalUnit.failAt = -1;
    assertEquals(4096, lus.length);
    assertNotNull(lus[298]);
    assertNull(lus[299]);
    assertNull(lus[4095]);
  }
}
