package quarn.str.diskarray.bench;

import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;
import quarn.str.diskarray.*;

// The bridge against a hand-written JNI converter and against plain Java reading the records from
// a ByteBuffer. corvidj_bench starts the JVM and registers the natives below.
public final class CorvidjBench {
  private CorvidjBench() {}

  // ZQ_GetLogicalUnit and its conversion written out by hand, ids looked up once per call.
  static native LogicalUnit[] handLogicalUnits(String unit, ZQSessionInfo session);
  // The same library call, its records returned as bytes.
  static native byte[] rawLogicalUnits(String unit, ZQSessionInfo session);
  // ZQ_GetAllInformation with its four record arrays converted by hand, the rest left null.
  static native ArrayAllInformation handAllInformation(String unit, ZQSessionInfo session);
  // ZQ_GetAllInformation with no conversion.
  static native int rawAllInformation(String unit, ZQSessionInfo session);

  interface Step {
    Object run() throws Exception;
  }

  // Medians of `rounds` timed runs of each step, in microseconds. The steps take turns call by
  // call after a warm-up, so that each sees the same JIT, heap and machine load.
  static double[] time(int rounds, Step... steps) throws Exception {
    for (int i = 0; i < 5; ++i)
      for (Step step : steps) step.run();
    long[][] ns = new long[steps.length][rounds];
    for (int i = 0; i < rounds; ++i) {
      for (int k = 0; k < steps.length; ++k) {
        long start = System.nanoTime();
        if (steps[k].run() == null) throw new IllegalStateException("no result");
        ns[k][i] = System.nanoTime() - start;
      }
    }
    double[] medians = new double[steps.length];
    for (int k = 0; k < steps.length; ++k) {
      Arrays.sort(ns[k]);
      medians[k] = ns[k][rounds / 2] / 1000.0;
    }
    return medians;
  }

  // offsets: record size, then lun, rg_no, capacity, ctl, status, stripe, label, label size.
  static LogicalUnit[] fromBuffer(byte[] bytes, int[] offsets) {
    ByteBuffer b = ByteBuffer.wrap(bytes).order(ByteOrder.LITTLE_ENDIAN);
    int size = offsets[0];
    LogicalUnit[] lus = new LogicalUnit[bytes.length / size];
    for (int i = 0; i < lus.length; ++i) {
      int at = i * size;
      LogicalUnit lu = new LogicalUnit();
      lu.lun = b.getShort(at + offsets[1]) & 0xFFFF;
      lu.rg_no = b.getShort(at + offsets[2]) & 0xFFFF;
      lu.capacity = b.getInt(at + offsets[3]);
      lu.ctl = b.get(at + offsets[4]) & 0xFF;
      lu.status = b.get(at + offsets[5]) & 0xFF;
      lu.stripe = b.getShort(at + offsets[6]) & 0xFFFF;
      int label = at + offsets[7], n = 0;
      while (n < offsets[8] && bytes[label + n] != 0) ++n;
      lu.label = new String(bytes, label, n, StandardCharsets.UTF_8);
      lus[i] = lu;
    }
    return lus;
  }

  public static void run(String unit, int[] offsets) throws Exception {
    ZQAccountBaseInfo account = new ZQAccountBaseInfo();
    account.user_id = "bench";
    ZQSessionInfo s = DiskArrayUtilityJNI.ZQ_LoginZQAccount(unit, account);
    final int rounds = 101;
    byte[] bytes = rawLogicalUnits(unit, s);
    double[] t = time(rounds, () -> DiskArrayUtilityJNI.ZQ_GetLogicalUnit(unit, s), () -> handLogicalUnits(unit, s),
        () -> rawLogicalUnits(unit, s), () -> fromBuffer(bytes, offsets));
    double bridge = t[0], hand = t[1], raw = t[2], java = t[3];
    System.out.printf("LogicalUnit[4096], median of %d calls:%n", rounds);
    System.out.printf("  library call alone            %9.0f us%n", raw);
    System.out.printf("  bridge (call + conversion)    %9.0f us%n", bridge);
    System.out.printf("  hand-written JNI (call + conv)%9.0f us%n", hand);
    System.out.printf("  pure Java from a ByteBuffer   %9.0f us (conversion only)%n", java);
    System.out.printf("  bridge / hand-written         %9.2f  (conversion alone %.2f)%n", bridge / hand,
        (bridge - raw) / Math.max(1.0, hand - raw));
    System.out.printf("  bridge conversion / pure Java %9.2f%n", (bridge - raw) / java);
    double[] a = time(21, () -> DiskArrayUtilityJNI.ZQ_GetAllInformation(unit, s), () -> handAllInformation(unit, s),
        () -> rawAllInformation(unit, s));
    System.out.printf("ArrayAllInformation (11,447,804 bytes), median of 21 calls:%n");
    System.out.printf("  library call alone            %9.0f us%n", a[2]);
    System.out.printf("  bridge (call + conversion)    %9.0f us (every member)%n", a[0]);
    System.out.printf("  hand-written JNI (call + conv)%9.0f us (lu, drive_status, drive_info, raid only)%n", a[1]);
    System.out.printf("  bridge / hand-written         %9.2f  (an upper bound: the bridge builds more)%n", a[0] / a[1]);
  }
}
